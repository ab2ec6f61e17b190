#pragma once
// Writes device-independent section bitmaps as the frames of an AVI file.
// A null writer stands for one that could not be opened; after a platform
// failure the writer refuses all work until it is closed.
#include "platform/Vfw.h"

// Video only: no audio is ever written, so the writer keeps no audio state.
struct AviWriter {
    PAVIFILE file;
    LONG framePeriod;
    PAVISTREAM videoStream;
    PAVISTREAM compressedStream;
    LONG frameCount;
    bool failed;
};

AviWriter* AviOpenWriter(const char* path, LONG framePeriod);
HRESULT AviConfigureVideo(AviWriter* writer, HBITMAP bitmap, AVICOMPRESSOPTIONS* options, bool showDialog, HWND parent);
HRESULT AviAppendFrame(AviWriter* writer, HBITMAP bitmap);
HRESULT AviCloseWriter(AviWriter* writer);
