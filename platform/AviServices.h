#pragma once
// The AVI file services that need FFmpeg, as the video module hands them to
// the program: one table of entry points, so that FFmpeg and its codec
// libraries are loaded only when a video is written.
#include <vector>

#include "MovieServices.h"
#include "Vfw.h"

struct AviServices {
    HRESULT (*openFile)(PAVIFILE* file, const char* path);
    HRESULT (*createStream)(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOA* info);
    HRESULT (*makeCompressedStream)(PAVISTREAM* compressed, PAVISTREAM source, const AVICOMPRESSOPTIONS* options);
    HRESULT (*setFormat)(PAVISTREAM stream, const BITMAPINFOHEADER& format);
    HRESULT (*write)(PAVISTREAM stream, LONG start, const void* data, LONG size);
    ULONG (*releaseStream)(PAVISTREAM stream);
    ULONG (*releaseFile)(PAVIFILE file);
    const std::vector<VideoCompressor>& (*availableCompressors)();
    const VideoCompressor* (*findCompressor)(DWORD fccHandler);
    // Movies in real containers, beside the AVI files.
    const MovieServices* movie;
};

// The one symbol the module exports; its name ties loader and module together.
#define NIVO_AVI_SERVICES_ENTRY "NivoAviServices"
extern "C" const AviServices* NivoAviServices();
