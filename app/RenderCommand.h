#pragma once
// Renders a picture without any window and saves it, exactly as a view of
// that client size would show it. Returns the process exit status.
struct CommandLine;

int RunRenderCommand(const CommandLine& line);
