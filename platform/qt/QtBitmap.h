#pragma once
// A library bitmap: an upright picture for Qt's writers, or the shared
// pixels of a 24-bit section, which the BMP and PNG writers take as they lie
// and which become a QImage only for another writer.
#include <QImage>
#include <memory>

#include "SectionBitmap.h"

class QtBitmap : public SectionBitmap {
public:
    explicit QtBitmap(QImage picture) : m_picture(std::move(picture)) {}
    using SectionBitmap::SectionBitmap;

    // Null when the picture cannot be had.
    const QImage& Picture() const;
    // What Qt gives a new image: the screen's resolution, or without a
    // screen (a command-line render) the 96 dpi of Qt's offscreen screen.
    static int DotsPerMeter();

private:
    mutable QImage m_picture;
};
