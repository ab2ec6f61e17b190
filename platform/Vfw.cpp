#include "Vfw.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#include "AviModule.h"
#include "AviServices.h"

// Checks that need no FFmpeg are made here; the rest goes to the video module,
// loaded by the first file open. Streams and files exist only once it is loaded.
namespace {
std::atomic<int> g_initCount {0};

SaveOptionsPrompt& Prompt()
{
    static SaveOptionsPrompt prompt;
    return prompt;
}

const AviServices& Loaded() { return *AviModule::Services(); }
} // namespace

void AVIFileInit() { ++g_initCount; }

void AVIFileExit()
{
    if (g_initCount > 0)
        --g_initCount;
}

int AVIFileInitCount() { return g_initCount; }

HRESULT AVIFileOpenA(PAVIFILE* file, const char* path, UINT mode, void*)
{
    if (!file || !path || (mode & (OF_WRITE | OF_CREATE)) != (OF_WRITE | OF_CREATE))
        return AVIERR_BADPARAM;
    *file = nullptr;
    const AviServices* services = AviModule::Services();
    return services ? services->openFile(file, path) : AVIERR_ERROR;
}

HRESULT AVIFileCreateStreamA(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOA* info)
{
    if (!file || !stream || !info)
        return AVIERR_BADPARAM;
    *stream = nullptr;
    // The rate is scale over rate ticks per frame; both must be positive 32-bit values.
    const auto invalid = [](DWORD value) { return value == 0 || value > DWORD(INT32_MAX); };
    if (info->fccType != streamtypeVIDEO || invalid(info->dwScale) || invalid(info->dwRate))
        return AVIERR_BADFORMAT;
    return Loaded().createStream(file, stream, info);
}

BOOL AVISaveOptions(HWND parent, UINT, int streams, PAVISTREAM* stream, AVICOMPRESSOPTIONS** options)
{
    if (streams != 1 || !stream || !*stream || !options || !options[0] || !Prompt())
        return 0;
    return Prompt()(parent, *options[0]) ? 1 : 0;
}

HRESULT AVISaveOptionsFree(int streams, AVICOMPRESSOPTIONS** options)
{
    // The dialog attaches no buffers of its own; clear what a caller may have left.
    for (int i = 0; options && i < streams; ++i)
        if (options[i]) {
            options[i]->lpFormat = nullptr;
            options[i]->cbFormat = 0;
            options[i]->lpParms = nullptr;
            options[i]->cbParms = 0;
        }
    return AVIERR_OK;
}

HRESULT AVIMakeCompressedStream(PAVISTREAM* compressed, PAVISTREAM source, const AVICOMPRESSOPTIONS* options, void*)
{
    if (!compressed || !source || !options)
        return AVIERR_BADPARAM;
    *compressed = nullptr;
    if (!Loaded().findCompressor(options->fccHandler))
        return AVIERR_NOCOMPRESSOR;
    return Loaded().makeCompressedStream(compressed, source, options);
}

HRESULT AVIStreamSetFormat(PAVISTREAM stream, LONG position, const void* format, LONG size)
{
    if (!stream || !format || position != 0 || size < LONG(sizeof(BITMAPINFOHEADER)))
        return AVIERR_BADPARAM;
    BITMAPINFOHEADER header;
    std::memcpy(&header, format, sizeof header);
    return Loaded().setFormat(stream, header);
}

HRESULT AVIStreamWrite(PAVISTREAM stream, LONG start, LONG samples, const void* data, LONG size, DWORD,
                       LONG* samplesWritten, LONG* bytesWritten)
{
    if (!stream || samples != 1 || start < 0)
        return AVIERR_BADPARAM;
    const HRESULT result = Loaded().write(stream, start, data, size);
    if (result == AVIERR_OK) {
        if (samplesWritten)
            *samplesWritten = 1;
        if (bytesWritten)
            *bytesWritten = size;
    }
    return result;
}

ULONG AVIStreamRelease(PAVISTREAM stream) { return stream ? Loaded().releaseStream(stream) : 0; }

ULONG AVIFileRelease(PAVIFILE file) { return file ? Loaded().releaseFile(file) : 0; }

const std::vector<VideoCompressor>& AvailableCompressors()
{
    static const std::vector<VideoCompressor> none;
    const AviServices* services = AviModule::Services();
    return services ? services->availableCompressors() : none;
}

const VideoCompressor* FindCompressor(DWORD fccHandler)
{
    const AviServices* services = AviModule::Services();
    return services ? services->findCompressor(fccHandler) : nullptr;
}

void SetSaveOptionsPrompt(SaveOptionsPrompt prompt) { Prompt() = std::move(prompt); }
