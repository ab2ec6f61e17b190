#include "AviWriter.h"

#include <new>

#include "platform/Gdi32.h"

namespace {
bool Describe(HBITMAP bitmap, DIBSECTION& ds)
{
    return bitmap && GetObjectA(bitmap, sizeof ds, &ds) == int(sizeof ds);
}

HRESULT Fail(AviWriter* writer, HRESULT result)
{
    writer->failed = true;
    return result;
}

HRESULT CreateVideoStream(AviWriter* writer, const DIBSECTION& ds)
{
    AVISTREAMINFOA info {};
    info.fccType = streamtypeVIDEO;
    info.fccHandler = 0;
    info.dwScale = writer->framePeriod;
    info.dwRate = 1000;
    info.dwSuggestedBufferSize = ds.dsBmih.biSizeImage;
    info.rcFrame = {0, 0, ds.dsBmih.biWidth, ds.dsBmih.biHeight};
    return AVIFileCreateStreamA(writer->file, &writer->videoStream, &info);
}

// The checks both operations start with, in this order.
HRESULT CheckCall(const AviWriter* writer, HBITMAP bitmap, DIBSECTION& ds)
{
    if (!writer)
        return AVIERR_BADHANDLE;
    if (!Describe(bitmap, ds))
        return AVIERR_BADPARAM;
    if (writer->failed)
        return AVIERR_ERROR;
    return AVIERR_OK;
}

// The raw stream comes from the first bitmap that reaches the writer.
HRESULT EnsureVideoStream(AviWriter* writer, const DIBSECTION& ds)
{
    if (writer->videoStream)
        return AVIERR_OK;
    const HRESULT result = CreateVideoStream(writer, ds);
    return result == AVIERR_OK ? result : Fail(writer, result);
}

HRESULT SetStreamFormat(AviWriter* writer, HBITMAP bitmap)
{
    DIBSECTION ds {};
    GetObjectA(bitmap, sizeof ds, &ds);
    const LONG size = LONG(ds.dsBmih.biSize + 4 * ds.dsBmih.biClrUsed);
    return AVIStreamSetFormat(writer->compressedStream, 0, &ds.dsBmih, size);
}
} // namespace

AviWriter* AviOpenWriter(const char* path, LONG framePeriod)
{
    AVIFileInit();
    PAVIFILE file = nullptr;
    if (AVIFileOpenA(&file, path, OF_WRITE | OF_CREATE, nullptr) != AVIERR_OK) {
        AVIFileExit();
        return nullptr;
    }
    auto* writer = new (std::nothrow) AviWriter {};
    if (!writer) {
        AVIFileRelease(file);
        AVIFileExit();
        return nullptr;
    }
    writer->file = file;
    writer->framePeriod = framePeriod;
    return writer;
}

HRESULT AviConfigureVideo(AviWriter* writer, HBITMAP bitmap, AVICOMPRESSOPTIONS* options, bool showDialog, HWND parent)
{
    DIBSECTION ds {};
    if (const HRESULT checked = CheckCall(writer, bitmap, ds); checked != AVIERR_OK)
        return checked;
    if (writer->compressedStream)
        return AVIERR_COMPRESSOR;
    if (const HRESULT result = EnsureVideoStream(writer, ds); result != AVIERR_OK)
        return result;

    AVICOMPRESSOPTIONS local {};
    AVICOMPRESSOPTIONS* chosen = options ? options : &local;
    if (showDialog && !AVISaveOptions(parent, 0, 1, &writer->videoStream, &chosen)) {
        AVISaveOptionsFree(1, &chosen);
        return Fail(writer, AVIERR_USERABORT);
    }
    const HRESULT made = AVIMakeCompressedStream(&writer->compressedStream, writer->videoStream, chosen, nullptr);
    AVISaveOptionsFree(1, &chosen);
    if (made != AVIERR_OK)
        return Fail(writer, made);
    if (const HRESULT result = SetStreamFormat(writer, bitmap); result != AVIERR_OK)
        return Fail(writer, result);
    return AVIERR_OK;
}

HRESULT AviAppendFrame(AviWriter* writer, HBITMAP bitmap)
{
    DIBSECTION ds {};
    if (const HRESULT checked = CheckCall(writer, bitmap, ds); checked != AVIERR_OK)
        return checked;
    if (const HRESULT result = EnsureVideoStream(writer, ds); result != AVIERR_OK)
        return result;
    if (!writer->compressedStream) {
        AVICOMPRESSOPTIONS uncompressed {};
        uncompressed.fccHandler = mmioFOURCC('D', 'I', 'B', ' ');
        if (const HRESULT result =
                AVIMakeCompressedStream(&writer->compressedStream, writer->videoStream, &uncompressed, nullptr);
            result != AVIERR_OK)
            return Fail(writer, result);
        if (const HRESULT result = SetStreamFormat(writer, bitmap); result != AVIERR_OK)
            return Fail(writer, result);
    }
    const HRESULT written = AVIStreamWrite(writer->compressedStream, writer->frameCount, 1, ds.dsBm.bmBits,
                                           LONG(ds.dsBmih.biSizeImage), AVIIF_KEYFRAME, nullptr, nullptr);
    if (written != AVIERR_OK)
        return Fail(writer, written);
    ++writer->frameCount;
    return AVIERR_OK;
}

HRESULT AviCloseWriter(AviWriter* writer)
{
    if (!writer)
        return AVIERR_BADHANDLE;
    for (PAVISTREAM* stream : {&writer->compressedStream, &writer->videoStream})
        if (*stream) {
            AVIStreamRelease(*stream);
            *stream = nullptr;
        }
    if (writer->file) {
        AVIFileRelease(writer->file);
        writer->file = nullptr;
    }
    AVIFileExit();
    delete writer;
    return AVIERR_OK;
}
