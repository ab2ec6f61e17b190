#pragma once
// A bitmap behind an HBITMAP: either a device-independent section (pixels we
// hand out by address) or a plain device-dependent bitmap.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "WinTypes.h"

class GdiObject {
public:
    // What a new section's pixels hold: zero, or whatever its memory held
    // before (the rows' padding is zero all the same).
    enum class Pixels { Zero, Unset };

    static GdiObject* NewSection(const BITMAPINFOHEADER& header, Pixels pixels = Pixels::Zero);
    static GdiObject* NewDeviceBitmap(LONG width, LONG height, WORD bitsPerPixel);

    bool IsSection() const { return m_isSection; }
    const BITMAPINFOHEADER& Header() const { return m_header; }
    LONG Width() const { return m_header.biWidth; }
    LONG Height() const { return m_header.biHeight < 0 ? -m_header.biHeight : m_header.biHeight; }
    bool BottomUp() const { return m_header.biHeight > 0; }
    LONG Stride() const { return m_stride; }
    BYTE* Bits() const { return m_bits.get(); }
    // The pixels, kept alive for whoever holds this after the bitmap is deleted.
    std::shared_ptr<const BYTE> SharedBits() const { return m_bits; }
    // Address of the first byte of picture row `row` (0 at the top).
    BYTE* Row(LONG row) const;

private:
    GdiObject() = default;

    bool m_isSection = false;
    BITMAPINFOHEADER m_header {};
    LONG m_stride = 0;
    using Bytes = std::shared_ptr<BYTE>;
    static Bytes BlockOf(std::int64_t size, Pixels pixels);
    void ZeroPadding();

    Bytes m_bits;
};
