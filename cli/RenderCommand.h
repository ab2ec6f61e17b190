#pragma once
// Renders a picture without any window and saves it, exactly as a view of
// that client size would show it. Returns the process exit status.
struct CommandLine;

// `output` is the file name as the bytes given on the command line.
int RunRenderCommand(const CommandLine& line, const char* output);
