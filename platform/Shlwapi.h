#pragma once
// Shell path services: the extension of a file name.
#include "WinTypes.h"

// Points at the extension of the path's last component: from its last "." to
// the end, dot included; at the terminator when that component has no dot.
// "/" is the only separator (a backslash is an ordinary file-name character on
// Linux). Null for a null path.
const char* PathFindExtensionA(const char* path);
const WCHAR* PathFindExtensionW(const WCHAR* path);
