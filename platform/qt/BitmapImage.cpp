#include "BitmapImage.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#include <QPaintEngine>
#include <QPainter>

#include "platform/BlitRect.h"
#include "platform/CoreSplit.h"
#include "platform/GdiObject.h"

QImage ImageOfBitmap(const GdiObject& bitmap, int x, int y, int width, int height)
{
    const QRect wanted = QRect(x, y, width, height).intersected(QRect(0, 0, bitmap.Width(), bitmap.Height()));
    const int bytesPerPixel = bitmap.Header().biBitCount / 8;
    if (wanted.isEmpty() || (bytesPerPixel != 3 && bytesPerPixel != 4))
        return {};
    QImage image(wanted.size(), QImage::Format_BGR888);
    if (image.isNull())
        return {};
    for (int row = 0; row < wanted.height(); ++row) {
        const BYTE* from = bitmap.Row(wanted.y() + row) + wanted.x() * bytesPerPixel;
        uchar* to = image.scanLine(row);
        if (bytesPerPixel == 3) {
            std::memcpy(to, from, std::size_t(wanted.width()) * 3);
            continue;
        }
        for (int x = 0; x < wanted.width(); ++x, from += 4, to += 3)
            std::memcpy(to, from, 3);
    }
    return image;
}

namespace {
#define NIVO_AVX2 __attribute__((target("avx2")))

bool HasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

// Blue, green and red are the low three bytes of a little-endian load; the
// last pixel is read bytewise so as not to read past the row.
void CopyRow(const BYTE* pixel, int bytesPerPixel, QRgb* to, int count)
{
    const int last = count - 1;
    for (int column = 0; column < last; ++column, pixel += bytesPerPixel) {
        std::uint32_t bgr;
        std::memcpy(&bgr, pixel, sizeof bgr);
        to[column] = 0xFF000000u | (bgr & 0x00FFFFFFu);
    }
    to[last] = qRgb(pixel[2], pixel[1], pixel[0]);
}

// Eight 24-bit pixels at a time: each half of the vector takes four of them
// from its own 16-byte load and spreads them to four 32-bit pixels. Streamed,
// the pixels go past the cache from the first 32-byte boundary on.
template <bool kStream>
NIVO_AVX2 void CopyRow24(const BYTE* pixel, QRgb* to, int count)
{
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4,
                                            5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    int column = 0;
    if constexpr (kStream) {
        const int head = std::min(count - 1, int((32 - reinterpret_cast<std::uintptr_t>(to) % 32) % 32 / 4));
        if (head > 0)
            CopyRow(pixel, 3, to, head);
        column = head;
        pixel += 3 * head;
    }
    // The loads read 28 bytes: they stop while a pixel is left after the eight.
    for (; column + 8 < count; column += 8, pixel += 24) {
        const __m256i bytes = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(pixel + 12),
                                                  reinterpret_cast<const __m128i*>(pixel));
        const __m256i pixels = _mm256_or_si256(_mm256_shuffle_epi8(bytes, spread), opaque);
        if constexpr (kStream)
            _mm256_stream_si256(reinterpret_cast<__m256i*>(to + column), pixels);
        else
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + column), pixels);
    }
    CopyRow(pixel, 3, to + column, count - column);
}

// Converts `rows` rows of `width` pixels of a 24- or 32-bit bitmap, from
// (sourceX, sourceY) on, into 32-bit rows `pitch` bytes apart from `to` on,
// shared among the cores. Pictures of this many bytes or more are stored
// past the cache: a 4K one (33 MB) no longer fits by the time it is shown,
// and went to the screen 0.3 ms sooner under X; a 1080p one, streamed,
// came later, since the X server then read it back from memory.
constexpr std::int64_t kStreamedBytes = std::int64_t(16) << 20;

void ConvertRows(const GdiObject& bitmap, int sourceX, int sourceY, int width, int rows, uchar* to, qsizetype pitch)
{
    static const bool avx2 = HasAvx2();
    const int bytesPerPixel = bitmap.Header().biBitCount / 8;
    const std::int64_t bytes = std::int64_t(width) * rows * 4;
    const bool stream = bytes >= kStreamedBytes;
    SplitAmongCores(rows, bytes, [&](std::int64_t first, std::int64_t last) {
        for (int row = int(first); row < int(last); ++row) {
            const BYTE* pixel = bitmap.Row(sourceY + row) + std::ptrdiff_t(sourceX) * bytesPerPixel;
            auto* out = reinterpret_cast<QRgb*>(to + row * pitch);
            if (avx2 && bytesPerPixel == 3)
                stream ? CopyRow24<true>(pixel, out, width) : CopyRow24<false>(pixel, out, width);
            else
                CopyRow(pixel, bytesPerPixel, out, width);
        }
        // Streamed pixels are in memory before the part counts as done.
        _mm_sfence();
    });
}
} // namespace

QRect CopyBitmapToImage(const GdiObject& bitmap, int sourceX, int sourceY, int width, int height, QImage& image, int x,
                        int y)
{
    const int bytesPerPixel = bitmap.Header().biBitCount / 8;
    if ((bytesPerPixel != 3 && bytesPerPixel != 4) || image.depth() != 32)
        return {};
    const BlitRect r =
        BlitRect::Of(x, y, width, height, sourceX, sourceY, bitmap.Width(), bitmap.Height(), image.width(), image.height());
    if (r.Empty())
        return {};
    const qsizetype pitch = image.bytesPerLine();
    ConvertRows(bitmap, sourceX + r.left, sourceY + r.top, r.Width(), r.Height(),
                image.bits() + (y + r.top) * pitch + std::ptrdiff_t(x + r.left) * 4, pitch);
    return {x + r.left, y + r.top, r.Width(), r.Height()};
}

std::optional<RasterTarget> RasterTargetOf(QPainter& painter, qreal ratio, const QRegion& region)
{
    QPaintEngine* const engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !engine->paintDevice() ||
        engine->paintDevice()->devType() != QInternal::Image || painter.hasClipping())
        return std::nullopt;
    QImage& image = *static_cast<QImage*>(engine->paintDevice());
    const QImage::Format format = image.format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        return std::nullopt;
    // One drawing pixel a device pixel, from a whole device pixel on: the
    // painter may only move the drawing and scale it by its own whole ratio.
    const QTransform t = painter.deviceTransform();
    if (t.type() > QTransform::TxScale || t.m11() != ratio || t.m22() != ratio || ratio != std::round(ratio) ||
        t.dx() != std::round(t.dx()) || t.dy() != std::round(t.dy()))
        return std::nullopt;
    const int scale = int(ratio);
    RasterTarget target {image, QPoint(int(t.dx()), int(t.dy())), {}};
    for (const QRect& r : region)
        target.covered += QRect(r.x() * scale + target.origin.x(), r.y() * scale + target.origin.y(),
                                r.width() * scale, r.height() * scale);
    target.covered &= image.rect();
    if (const QRegion system = engine->systemClip(); !system.isEmpty())
        target.covered &= system;
    return target;
}

void CopyBitmapToRaster(const GdiObject& bitmap, int sourceX, int sourceY, const QRect& placed,
                        const RasterTarget& target)
{
    const int bytesPerPixel = bitmap.Header().biBitCount / 8;
    if (bytesPerPixel != 3 && bytesPerPixel != 4)
        return;
    // Where the engine paints, whether or not the image is shared.
    uchar* const top = const_cast<uchar*>(std::as_const(target.image).constBits());
    const qsizetype pitch = target.image.bytesPerLine();
    for (const QRect& r : target.covered & placed.translated(target.origin))
        ConvertRows(bitmap, sourceX + r.x() - target.origin.x() - placed.x(),
                    sourceY + r.y() - target.origin.y() - placed.y(), r.width(), r.height(),
                    top + r.y() * pitch + std::ptrdiff_t(r.x()) * 4, pitch);
}
