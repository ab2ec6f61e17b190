#pragma once
// A library bitmap: an upright picture for Qt's writers, or the shared
// pixels of a 24-bit section, which the BMP and PNG writers take as they lie
// and which become a QImage only for another writer.
#include <QImage>
#include <memory>

#include "Gdiplus.h"
#include "platform/SectionWriters.h"

class QtBitmap : public GpBitmap {
public:
    explicit QtBitmap(QImage picture) : m_picture(std::move(picture)) {}
    // The section must not change while this lives: its pixels are not copied.
    QtBitmap(std::shared_ptr<const BYTE> pixels, const SectionRows& rows) : m_pixels(std::move(pixels)), m_rows(rows) {}

    // Null when the pixels are not a section's, or the picture cannot be had.
    const SectionRows* Rows() const { return m_pixels ? &m_rows : nullptr; }
    const QImage& Picture() const;
    // What Qt gives a new image: the screen's resolution, or without a
    // screen (a command-line render) the 96 dpi of Qt's offscreen screen.
    static int DotsPerMeter();

private:
    std::shared_ptr<const BYTE> m_pixels;
    SectionRows m_rows {};
    mutable QImage m_picture;
};
