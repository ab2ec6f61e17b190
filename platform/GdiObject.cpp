#include "GdiObject.h"

#include <cstring>
#include <new>

#include "LargeBlock.h"

namespace {
// Rows are padded to a multiple of 4 bytes; computed in 64 bits so huge sizes fail cleanly.
std::int64_t StrideOf(std::int64_t width, int bitsPerPixel) { return ((width * bitsPerPixel + 31) / 32) * 4; }

// The stride is kept in a LONG and the size in biSizeImage: capping the size at
// the largest LONG keeps both exact (a wrapped stride would address outside the bits).
constexpr std::int64_t kMaxBitmapBytes = 0x7fffffff;
} // namespace

// Large blocks come zeroed from the system, or from the block of the picture
// before: zeroed in place, or left as they are for pixels all set anyway.
GdiObject::Bytes GdiObject::BlockOf(std::int64_t size, Pixels pixels)
{
    const auto bytes = static_cast<std::size_t>(size);
    auto* block = static_cast<BYTE*>(pixels == Pixels::Zero ? LargeBlock::AllocateZeroed(bytes)
                                                            : LargeBlock::Allocate(bytes));
    if (!block)
        return nullptr;
    try {
        return Bytes(block, [bytes](BYTE* b) { LargeBlock::Release(b, bytes); });
    } catch (const std::bad_alloc&) {
        LargeBlock::Release(block, bytes);
        return nullptr;
    }
}

GdiObject* GdiObject::NewSection(const BITMAPINFOHEADER& header, Pixels pixels)
{
    const std::int64_t width = header.biWidth;
    const std::int64_t height = header.biHeight < 0 ? -std::int64_t(header.biHeight) : header.biHeight;
    if (width <= 0 || height <= 0 || header.biBitCount != 24 || header.biCompression != BI_RGB)
        return nullptr;
    const std::int64_t stride = StrideOf(width, header.biBitCount);
    if (stride > kMaxBitmapBytes / height)
        return nullptr;
    const std::int64_t size = stride * height;
    Bytes bits = BlockOf(size, pixels);
    if (!bits)
        return nullptr;
    auto* object = new (std::nothrow) GdiObject;
    if (!object)
        return nullptr;
    object->m_isSection = true;
    object->m_header = header;
    object->m_header.biSizeImage = static_cast<DWORD>(size);
    object->m_stride = static_cast<LONG>(stride);
    object->m_bits = std::move(bits);
    if (pixels == Pixels::Unset)
        object->ZeroPadding();
    return object;
}

// Files take the rows whole: their padding must not carry an older picture.
void GdiObject::ZeroPadding()
{
    const std::int64_t used = std::int64_t(Width()) * (m_header.biBitCount / 8);
    if (used == m_stride)
        return;
    for (LONG row = 0; row < Height(); ++row)
        std::memset(m_bits.get() + std::int64_t(row) * m_stride + used, 0, std::size_t(m_stride - used));
}

GdiObject* GdiObject::NewDeviceBitmap(LONG width, LONG height, WORD bitsPerPixel)
{
    if (width <= 0 || height <= 0 || (bitsPerPixel != 24 && bitsPerPixel != 32))
        return nullptr;
    BITMAPINFOHEADER header {};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = bitsPerPixel;
    const std::int64_t stride = StrideOf(width, bitsPerPixel);
    if (stride > kMaxBitmapBytes / height)
        return nullptr;
    Bytes bits = BlockOf(stride * height, Pixels::Zero);
    if (!bits)
        return nullptr;
    auto* object = new GdiObject;
    object->m_header = header;
    object->m_stride = static_cast<LONG>(stride);
    object->m_bits = std::move(bits);
    return object;
}

BYTE* GdiObject::Row(LONG row) const
{
    const LONG stored = BottomUp() ? Height() - 1 - row : row;
    return m_bits.get() + static_cast<std::ptrdiff_t>(stored) * m_stride;
}
