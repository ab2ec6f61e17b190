#pragma once
// A 24-bit bottom-up section bitmap of the size given, as the frame image makes them.
#include "platform/Gdi32.h"

HBITMAP NewSection(LONG width, LONG height, BYTE** bits = nullptr);
