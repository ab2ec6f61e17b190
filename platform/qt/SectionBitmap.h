#pragma once
// A library bitmap that shares the pixels of a 24-bit section: the BMP and
// PNG writers take its rows as they lie.
#include <memory>

#include "Gdiplus.h"
#include "platform/SectionWriters.h"

class SectionBitmap : public GpBitmap {
public:
    SectionBitmap() = default;
    // The section must not change while this lives: its pixels are not copied.
    SectionBitmap(std::shared_ptr<const BYTE> pixels, const SectionRows& rows) : m_pixels(std::move(pixels)), m_rows(rows) {}

    // Null when the pixels are not a section's.
    const SectionRows* Rows() const { return m_pixels ? &m_rows : nullptr; }

private:
    std::shared_ptr<const BYTE> m_pixels;
    SectionRows m_rows {};
};
