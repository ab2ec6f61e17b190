#pragma once
// The imaging services are Qt's core only: start-up, the encoder list, and
// BMP and PNG files written straight from a section. The rest, pictures
// and Qt's writers, comes from the picture services the process links.
#include <memory>
#include <string>

#include "Gdiplus.h"
#include "SectionBitmap.h"

class GdiObject;

namespace GdiplusLibrary {
// Sets the last error; OutOfMemory or Win32Error.
GpStatus Fail(DWORD error);
// Ok for 0, else the failure an errno value stands for.
GpStatus StatusOfErrno(int error);
} // namespace GdiplusLibrary

// What a process's imaging does beyond BMP and PNG files from sections: Qt's
// pictures and writers (Gdiplus.cpp), or nothing (SectionPictures.cpp), in a
// process that writes only those and so need not load Qt's Gui library.
namespace PictureServices {
// A bitmap sharing a section's pixels; null without memory.
SectionBitmap* ShareSection(std::shared_ptr<const BYTE> pixels, const SectionRows& rows);
// A bitmap holding a copy of another bitmap's pixels; null when it cannot be had.
GpBitmap* CopyBitmap(const GdiObject& bitmap);
// The resolution a new picture has.
int DotsPerMeter();
// Whether Qt's image plugins can write here, and so count among the encoders.
bool UsesPlugins();
// Writes a bitmap that is not a section's, or a format other than BMP and PNG.
GpStatus Save(const std::string& target, const SectionBitmap& bitmap, const char* format);
} // namespace PictureServices
