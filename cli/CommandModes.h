#pragma once
// What the program does without a window: help, version, refusals of the
// command line, --render and --movie. Both programs run these the same way:
// `nivo`, which loads Qt's core only, and the window's program.
#include "CommandLine.h"

namespace CommandModes {
// The command line of `argv`, in the system's encoding.
CommandLine Read(int argc, char** argv);
bool IsWindowless(CommandLine::Mode mode);
// Runs a windowless mode; the process's exit status. A render ends the process.
int RunWindowless(const CommandLine& line, int argc, char** argv);
// Whether Qt has the file descriptors it needs to start; says why not on standard error.
bool LeavesQtRoom();
// Opens on /dev/null the standard descriptors the parent closed: the first
// file opened would take one, and messages would be written into it.
void OpenClosedStandardDescriptors();
} // namespace CommandModes
