#pragma once
// Makes a zoom movie without any window: each frame exactly the picture a
// render of its zoom writes, encoded while the next ones are computed.
// Returns the process exit status; an interrupted movie ends by its signal.
struct CommandLine;

// `output` is the file name as the bytes given on the command line.
int RunMovieCommand(const CommandLine& line, const char* output);
