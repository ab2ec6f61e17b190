#include "Gdiplus.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QSemaphore>
#include <QThreadPool>
#include <algorithm>
#include <climits>
#include <new>
#include <pthread.h>
#include <string_view>
#include <sys/mman.h>

#include "BitmapImage.h"
#include "GdiplusLibrary.h"
#include "QtBitmap.h"
#include "platform/GdiObject.h"
#include "platform/Kernel32.h"
#include "platform/StagedFile.h"

namespace {
using GdiplusLibrary::Fail;

// Sides that a format's own header cannot describe.
int LargestSide(std::string_view format)
{
    if (format == "jpeg")
        return 65500;
    if (format == "webp")
        return 16383;
    // Larger pictures are written scaled down.
    if (format == "ico" || format == "cur")
        return 256;
    if (format == "icns")
        return 1024;
    return INT_MAX;
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

// The size of the picture a file holds, from its header, or by decoding it
// where the header alone does not tell (ICNS); invalid where Qt cannot read
// the file back (PPM 32768 pixels wide and more), which says nothing of it.
QSize SizeHeld(QByteArray& bytes, const char* format)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    if (!reader.canRead())
        return {};
    if (const QSize header = reader.size(); header.isValid())
        return header;
    const QImage decoded = reader.read();
    return decoded.isNull() ? QSize() : decoded.size();
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
        // What a writer lost on the way shows in the file: an empty picture
        // when its own copy found no memory, a scaled one where the format
        // holds only some sizes.
        if (const QSize held = SizeHeld(bytes, format); held.isValid() && held != picture.size())
            return Fail(held.isEmpty() ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_DATA);
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

} // namespace

SectionBitmap* PictureServices::ShareSection(std::shared_ptr<const BYTE> pixels, const SectionRows& rows)
{
    return new (std::nothrow) QtBitmap(std::move(pixels), rows);
}

GpBitmap* PictureServices::CopyBitmap(const GdiObject& bitmap)
{
    QImage picture = ImageOfBitmap(bitmap, 0, 0, bitmap.Width(), bitmap.Height());
    return picture.isNull() ? nullptr : new (std::nothrow) QtBitmap(std::move(picture));
}

int PictureServices::DotsPerMeter() { return QtBitmap::DotsPerMeter(); }

bool PictureServices::UsesPlugins() { return true; }

// The whole file is encoded in memory, then staged.
GpStatus PictureServices::Save(const std::string& target, const SectionBitmap& bitmap, const char* format)
{
    // Every bitmap of this process is one of Qt's.
    const QImage& picture = static_cast<const QtBitmap&>(bitmap).Picture();
    if (picture.isNull())
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    QByteArray bytes;
    if (const GpStatus encoded = Encode(picture, format, bytes); encoded != Ok)
        return encoded;
    return GdiplusLibrary::StatusOfErrno(StagedFile::Store(target, bytes.constData(), bytes.size()));
}
