#include "platform/Gdiplus.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <mutex>
#include <new>
#include <set>

#include "ImageEncoders.h"
#include "BitmapImage.h"
#include "QtBitmap.h"
#include "platform/GdiObject.h"

namespace {
struct LibraryState {
    std::mutex mutex;
    std::set<ULONG_PTR> tokens;
    ULONG_PTR nextToken = 1;
};

// Never destroyed: image export stops the library from an exit handler, which
// may run after ordinary statics are gone.
LibraryState& State()
{
    static auto* state = new LibraryState;
    return *state;
}

bool IsStarted()
{
    LibraryState& state = State();
    std::lock_guard lock(state.mutex);
    return !state.tokens.empty();
}

// A save replaces the file by renaming a new one onto it: fine for a file,
// wrong for a device or a pipe (as root it would replace /dev/null itself).
bool IsReplaceable(const QString& path)
{
    const QFileInfo target(path);
    return !target.exists() || target.isFile();
}

// Qt's writers leave a partial file behind when the disk fills, so the picture
// goes to a temporary file beside the target, which takes the target's name
// only once every write has succeeded; otherwise it is removed.
bool WriteAtomically(const QString& path, const QImage& picture, const char* format)
{
    if (!IsReplaceable(path))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, format);
    if (!writer.write(picture)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
} // namespace

GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void*)
{
    if (!token || !input)
        return InvalidParameter;
    if (input->GdiplusVersion != 1)
        return UnsupportedGdiplusVersion;
    LibraryState& state = State();
    std::lock_guard lock(state.mutex);
    *token = state.nextToken++;
    state.tokens.insert(*token);
    return Ok;
}

void GdiplusShutdown(ULONG_PTR token)
{
    LibraryState& state = State();
    std::lock_guard lock(state.mutex);
    state.tokens.erase(token);
}

GpStatus GdipGetImageEncodersSize(UINT* count, UINT* size)
{
    if (!count || !size)
        return InvalidParameter;
    if (!IsStarted())
        return GdiplusNotInitialized;
    const std::vector<const ImageEncoder*> encoders = AvailableEncoders();
    *count = static_cast<UINT>(encoders.size());
    *size = EncoderListSize(encoders);
    return Ok;
}

GpStatus GdipGetImageEncoders(UINT count, UINT size, ImageCodecInfo* encoders)
{
    if (!encoders)
        return InvalidParameter;
    if (!IsStarted())
        return GdiplusNotInitialized;
    const std::vector<const ImageEncoder*> available = AvailableEncoders();
    if (count != available.size() || size != EncoderListSize(available))
        return GenericError;
    WriteEncoderList(available, encoders);
    return Ok;
}

GpStatus GdipCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE, GpBitmap** result)
{
    if (!result)
        return InvalidParameter;
    *result = nullptr;
    if (!bitmap)
        return InvalidParameter;
    if (!IsStarted())
        return GdiplusNotInitialized;
    const WORD bitCount = bitmap->Header().biBitCount;
    if (bitCount != 24 && bitCount != 32)
        return InvalidParameter;
    QImage picture = ImageOfBitmap(*bitmap, 0, 0, bitmap->Width(), bitmap->Height());
    if (picture.isNull())
        return OutOfMemory;
    *result = new (std::nothrow) QtBitmap(std::move(picture));
    return *result ? Ok : OutOfMemory;
}

GpStatus GdipSaveImageToFile(GpImage* image, const WCHAR* path, const CLSID* encoder, const EncoderParameters* parameters)
{
    const auto* bitmap = dynamic_cast<const QtBitmap*>(image);
    if (!bitmap || !path || !encoder)
        return InvalidParameter;
    if (!IsStarted())
        return GdiplusNotInitialized;
    // Encoder settings are not offered: every encoder writes with its defaults.
    if (parameters && parameters->Count > 0)
        return NotImplemented;
    const ImageEncoder* chosen = FindEncoder(*encoder);
    if (!chosen)
        return UnknownImageFormat;
    return WriteAtomically(QString::fromUtf16(path), bitmap->Picture(), chosen->qtFormat) ? Ok : Win32Error;
}

GpStatus GdipDisposeImage(GpImage* image)
{
    if (!image)
        return InvalidParameter;
    delete image;
    return Ok;
}
