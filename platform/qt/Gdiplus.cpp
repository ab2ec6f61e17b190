#include "Gdiplus.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <algorithm>
#include <climits>
#include <mutex>
#include <new>
#include <set>
#include <string_view>

#include "ImageEncoders.h"
#include "BitmapImage.h"
#include "QtBitmap.h"
#include "platform/GdiObject.h"
#include "platform/Kernel32.h"
#include "platform/StagedFile.h"

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

// Sides that a format's own header cannot describe.
int LargestSide(std::string_view format)
{
    if (format == "jpeg")
        return 65500;
    if (format == "webp")
        return 16383;
    return INT_MAX;
}

GpStatus Fail(DWORD error)
{
    SetLastError(error);
    return error == ERROR_NOT_ENOUGH_MEMORY ? OutOfMemory : Win32Error;
}

// The whole file is encoded in memory first: Qt's writers leave a partial
// file behind when the disk fills, and a failed last write may go unnoticed.
GpStatus Encode(const QImage& picture, const char* format, QByteArray& bytes)
{
    if (std::max(picture.width(), picture.height()) > LargestSide(format))
        return Fail(ERROR_FILE_TOO_LARGE);
    try {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        if (!writer.write(picture))
            return Fail(ERROR_INVALID_DATA);
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    return Ok;
}

// A section's pixels shared, not copied: the frame image is saved and the
// library bitmap disposed of before the section changes again.
QtBitmap* SharedSection(const GdiObject& section)
{
    SectionRows rows {section.Row(0), section.BottomUp() ? -std::int64_t(section.Stride()) : section.Stride(),
                      static_cast<std::int32_t>(section.Width()), static_cast<std::int32_t>(section.Height()), 0, 0};
    return new (std::nothrow) QtBitmap(section.SharedBits(), rows);
}

// BMP and PNG straight from a section's rows, with the resolution Qt's
// writers would give; -1 for any other format or bitmap.
int WriteSection(const std::string& target, const QtBitmap& bitmap, std::string_view format)
{
    const SectionRows* shared = bitmap.Rows();
    if (!shared || (format != "bmp" && format != "png"))
        return -1;
    SectionRows rows = *shared;
    rows.dotsPerMeterX = QtBitmap::DotsPerMeter();
    rows.dotsPerMeterY = rows.dotsPerMeterX;
    return format == "bmp" ? SectionWriters::WriteBmp(target, rows) : SectionWriters::WritePng(target, rows);
}

// The encoded file takes the target's name only once every byte of it is on
// the disk; otherwise the old file stays as it was and nothing is left beside it.
GpStatus WriteWhole(const WCHAR* path, const QtBitmap& bitmap, const char* format)
{
    // A lone surrogate has no file-name bytes: it would name another file.
    const QString name = QString::fromUtf16(path);
    if (!QStringView(name).isValidUtf16())
        return Fail(ERROR_NO_UNICODE_TRANSLATION);
    if (const int error = WriteSection(QFile::encodeName(name).toStdString(), bitmap, format); error >= 0)
        return error == 0 ? Ok : Fail(LastErrorOfErrno(error));
    const QImage& picture = bitmap.Picture();
    if (picture.isNull())
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    QByteArray bytes;
    if (const GpStatus encoded = Encode(picture, format, bytes); encoded != Ok)
        return encoded;
    const int error = StagedFile::Store(QFile::encodeName(name).toStdString(), bytes.constData(), bytes.size());
    return error == 0 ? Ok : Fail(LastErrorOfErrno(error));
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
    if (bitmap->IsSection()) {
        *result = SharedSection(*bitmap);
        return *result ? Ok : Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    QImage picture = ImageOfBitmap(*bitmap, 0, 0, bitmap->Width(), bitmap->Height());
    if (picture.isNull())
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    *result = new (std::nothrow) QtBitmap(std::move(picture));
    return *result ? Ok : Fail(ERROR_NOT_ENOUGH_MEMORY);
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
    return WriteWhole(path, *bitmap, chosen->qtFormat);
}

GpStatus GdipDisposeImage(GpImage* image)
{
    if (!image)
        return InvalidParameter;
    delete image;
    return Ok;
}
