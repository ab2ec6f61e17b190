#pragma once
// Turns top-down or bottom-up BGR rows into an encoder's pixel format.
extern "C" {
#include <libavutil/pixfmt.h>
}

struct SwsContext;

// Null when libswscale cannot make the conversion.
SwsContext* OpenBgrScaler(int width, int height, AVPixelFormat format);
