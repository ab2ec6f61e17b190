#include "BgrScaler.h"

extern "C" {
#include <libswscale/swscale.h>
}

SwsContext* OpenBgrScaler(int width, int height, AVPixelFormat format)
{
    // Half-width colour taken from pairs of pixels would read one past an
    // odd row's end: such rows have their colour taken at every pixel.
    const int flags = SWS_BICUBIC | (width % 2 ? SWS_FULL_CHR_H_INP : 0);
    return sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, format, flags, nullptr, nullptr, nullptr);
}
