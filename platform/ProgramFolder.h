#pragma once
// The folder of the running program's file, or "." when the system does not say.
#include <string>

std::string ProgramFolder();
