#include "Gdiplus.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QSemaphore>
#include <QThreadPool>
#include <algorithm>
#include <climits>
#include <mutex>
#include <new>
#include <pthread.h>
#include <set>
#include <string_view>
#include <sys/mman.h>

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

// Address space for a writer's own copy of the picture at 32 bits a pixel
// and for the file it makes: a conversion that cannot have its memory gives
// Qt's writers an empty picture, which some of them write as such and the
// TIFF writer loops on for ever.
bool HasRoomToEncode(const QImage& picture)
{
    const std::size_t room = std::size_t(picture.width()) * std::size_t(picture.height()) * 8 + (1 << 20);
    void* trial = ::mmap(nullptr, room, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (trial == MAP_FAILED)
        return false;
    ::munmap(trial, room);
    return true;
}

// What a writer lost on the way shows in its header: the file must describe
// the picture it was given.
bool DescribesPicture(QByteArray& bytes, const char* format, QSize size)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    return !reader.canRead() || reader.size() == size;
}

GpStatus EncodeHere(const QImage& picture, const char* format, QByteArray& bytes)
{
    try {
        if (!HasRoomToEncode(picture))
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        if (!writer.write(picture))
            return Fail(ERROR_INVALID_DATA);
        if (!DescribesPicture(bytes, format, picture.size()))
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    return Ok;
}

// The library's pictures are 24-bit, RGB or BGR: the same pixels, a byte of
// padding each, copied here on this thread.
QImage CopyAsRgb32(const QImage& picture)
{
    QImage copy(picture.size(), QImage::Format_RGB32);
    if (copy.isNull())
        return {};
    const bool bgr = picture.format() == QImage::Format_BGR888;
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* from = picture.constScanLine(y);
        auto* to = reinterpret_cast<QRgb*>(copy.scanLine(y));
        for (int x = 0; x < picture.width(); ++x, from += 3)
            to[x] = bgr ? qRgb(from[2], from[1], from[0]) : qRgb(from[0], from[1], from[2]);
    }
    copy.setDotsPerMeterX(picture.dotsPerMeterX());
    copy.setDotsPerMeterY(picture.dotsPerMeterY());
    return copy;
}

bool CanStartThread()
{
    pthread_t thread;
    if (::pthread_create(&thread, nullptr, [](void*) -> void* { return nullptr; }, nullptr) != 0)
        return false;
    ::pthread_join(thread, nullptr);
    return true;
}

// Formats whose writers take a 32-bit picture as it is, converting nothing.
bool WritesRgb32AsIs(std::string_view format)
{
    return format == "bmp" || format == "ppm" || format == "jpeg" || format == "png";
}

// The whole file is encoded in memory first: Qt's writers leave a partial
// file behind when the disk fills, and a failed last write may go unnoticed.
// Qt shares a large conversion among the threads of its global pool and waits
// for them, for ever when one could not start; on a thread of that pool,
// conversions stay on that thread. Where no thread can start at all, only a
// writer that converts nothing is given the picture.
GpStatus Encode(const QImage& picture, const char* format, QByteArray& bytes)
{
    if (std::max(picture.width(), picture.height()) > LargestSide(format))
        return Fail(ERROR_FILE_TOO_LARGE);
    if (!CanStartThread()) {
        if (!WritesRgb32AsIs(format))
            return Fail(ERROR_NO_SYSTEM_RESOURCES);
        const QImage rgb32 = CopyAsRgb32(picture);
        return rgb32.isNull() ? Fail(ERROR_NOT_ENOUGH_MEMORY) : EncodeHere(rgb32, format, bytes);
    }
    GpStatus status = Ok;
    DWORD error = ERROR_SUCCESS;
    QSemaphore done;
    QThreadPool::globalInstance()->start([&] {
        status = EncodeHere(picture, format, bytes);
        error = GetLastError();
        done.release();
    });
    done.acquire();
    SetLastError(error);
    return status;
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
