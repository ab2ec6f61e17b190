#pragma once
// C runtime services: wide-string comparison.
#include "WinTypes.h"

// Compares two UTF-16 strings ignoring the case of A to Z, as the C locale
// does: both sides are folded to lower case, so the sign follows those codes.
int _wcsicmp(const WCHAR* left, const WCHAR* right);
