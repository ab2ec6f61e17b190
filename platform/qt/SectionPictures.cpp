// The picture services of a process that writes only BMP and PNG files from
// sections: it never links Qt's Gui library. Its bitmaps share section
// pixels, and have the resolution Qt gives a picture without a screen.
#include <cmath>
#include <new>

#include "GdiplusLibrary.h"

SectionBitmap* PictureServices::ShareSection(std::shared_ptr<const BYTE> pixels, const SectionRows& rows)
{
    return new (std::nothrow) SectionBitmap(std::move(pixels), rows);
}

GpBitmap* PictureServices::CopyBitmap(const GdiObject&) { return nullptr; }

int PictureServices::DotsPerMeter() { return static_cast<int>(std::lround(96 * 100 / 2.54)); }

// Their metadata is not even read.
bool PictureServices::UsesPlugins() { return false; }

GpStatus PictureServices::Save(const std::string&, const SectionBitmap&, const char*) { return UnknownImageFormat; }
