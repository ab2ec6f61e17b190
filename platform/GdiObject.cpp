#include "GdiObject.h"

#include <new>

#include "LargeBlock.h"

namespace {
// Rows are padded to a multiple of 4 bytes; computed in 64 bits so huge sizes fail cleanly.
std::int64_t StrideOf(std::int64_t width, int bitsPerPixel) { return ((width * bitsPerPixel + 31) / 32) * 4; }

// The stride is kept in a LONG and the size in biSizeImage: capping the size at
// the largest LONG keeps both exact (a wrapped stride would address outside the bits).
constexpr std::int64_t kMaxBitmapBytes = 0x7fffffff;
} // namespace

// A new bitmap's bytes are zero. Large blocks come zeroed from the system,
// or from the block of the picture before, zeroed in place.
GdiObject::Bytes GdiObject::ZeroedBytes(std::int64_t size)
{
    const auto bytes = static_cast<std::size_t>(size);
    auto* block = static_cast<BYTE*>(LargeBlock::AllocateZeroed(bytes));
    if (!block)
        return nullptr;
    try {
        return Bytes(block, [bytes](BYTE* b) { LargeBlock::Release(b, bytes); });
    } catch (const std::bad_alloc&) {
        LargeBlock::Release(block, bytes);
        return nullptr;
    }
}

GdiObject* GdiObject::NewSection(const BITMAPINFOHEADER& header)
{
    const std::int64_t width = header.biWidth;
    const std::int64_t height = header.biHeight < 0 ? -std::int64_t(header.biHeight) : header.biHeight;
    if (width <= 0 || height <= 0 || header.biBitCount != 24 || header.biCompression != BI_RGB)
        return nullptr;
    const std::int64_t stride = StrideOf(width, header.biBitCount);
    if (stride > kMaxBitmapBytes / height)
        return nullptr;
    const std::int64_t size = stride * height;
    Bytes bits = ZeroedBytes(size);
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
    return object;
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
    Bytes bits = ZeroedBytes(stride * height);
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
