#pragma once
// Writes device-independent section bitmaps as the frames of an AVI file.
// A null writer stands for one that could not be opened; after a platform
// failure the writer refuses all work until it is closed.
#include "platform/Vfw.h"

struct AviWriter {
    PAVIFILE file;
    WAVEFORMATEX audioFormat;
    LONG framePeriod;
    PAVISTREAM audioStream;
    PAVISTREAM videoStream;
    PAVISTREAM compressedStream;
    LONG frameCount;
    LONG sampleCount;
    bool failed;
};

AviWriter* AviOpenWriter(const char* path, LONG framePeriod, const WAVEFORMATEX* audioFormat);
HRESULT AviConfigureVideo(AviWriter* writer, HBITMAP bitmap, AVICOMPRESSOPTIONS* options, bool showDialog, HWND parent);
HRESULT AviAppendFrame(AviWriter* writer, HBITMAP bitmap);
HRESULT AviCloseWriter(AviWriter* writer);
