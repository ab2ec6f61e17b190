#include "platform/AviServices.h"

#include <cstdlib>

extern "C" {
#include <libavutil/log.h>
}

#include "AviFileObject.h"
#include "AviStreamObject.h"
#include "MovieEncoder.h"

namespace {
HRESULT OpenFile(PAVIFILE* file, const char* path) { return AviFileObject::Open(path, file); }

HRESULT CreateStream(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOA* info)
{
    *stream = new AviStreamObject(*file, *info);
    return AVIERR_OK;
}

HRESULT MakeCompressedStream(PAVISTREAM* compressed, PAVISTREAM source, const AVICOMPRESSOPTIONS* options)
{
    *compressed = new AviStreamObject(*source, *options);
    source->AddRef();
    return AVIERR_OK;
}

HRESULT SetFormat(PAVISTREAM stream, const BITMAPINFOHEADER& format) { return stream->SetFormat(format); }

HRESULT Write(PAVISTREAM stream, LONG start, const void* data, LONG size) { return stream->Write(start, data, size); }

ULONG ReleaseStream(PAVISTREAM stream) { return stream->Release(); }

ULONG ReleaseFile(PAVIFILE file) { return file->Release(); }

constexpr AviServices kServices {
    OpenFile, CreateStream, MakeCompressedStream, SetFormat, Write, ReleaseStream, ReleaseFile,
    AvailableCompressors, FindCompressor, &MovieEncoder::kServices,
};

// The encoders' statistics, notes and errors are in English and for their
// developers: the program tells its users every outcome itself, in French.
// SVT-AV1 takes its level from the environment only; a user's own is kept.
void QuietEncoders()
{
    av_log_set_level(AV_LOG_QUIET);
    ::setenv("SVT_LOG", "0", 0);
}
} // namespace

extern "C" __attribute__((visibility("default"))) const AviServices* NivoAviServices()
{
    QuietEncoders();
    return &kServices;
}
