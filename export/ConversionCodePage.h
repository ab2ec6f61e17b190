#pragma once
// The code page that turns the program's narrow strings (paths, extensions)
// into UTF-16. The rule is chosen on first use and kept for the process.
#include "platform/WinTypes.h"

UINT ConversionCodePage();
