#pragma once
// The image encoders behind the GDI+ interface: one per format Qt can write.
#include <string_view>
#include <vector>

#include "Gdiplus.h"

struct ImageEncoder {
    CLSID clsid;
    GUID formatId;
    const char* qtFormat;
    const WCHAR* codecName;
    const WCHAR* description;
    const WCHAR* extensions;
    const WCHAR* mimeType;
};

// The encoders whose Qt writer is installed, in a fixed order: BMP, JPEG,
// GIF, TIFF and PNG first, as GDI+ lists them, then the others. Finding them
// loads no image plugin.
std::vector<const ImageEncoder*> AvailableEncoders();
const ImageEncoder* FindEncoder(const CLSID& clsid);
// Whether the encoder is one Qt has built in, so that saving with it needs no
// image plugin.
bool IsBuiltIntoQt(const CLSID& clsid);

// Whether files of the format (Qt's name) or of the encoder are written
// straight from a section (BMP, PNG), with no picture made first.
bool IsWrittenFromSections(std::string_view qtFormat);
bool IsWrittenFromSections(const CLSID& clsid);

// Bytes the published list of `encoders` takes: the records, then their strings.
UINT EncoderListSize(const std::vector<const ImageEncoder*>& encoders);
// Lays that list out in `buffer`, which holds EncoderListSize(encoders) bytes.
void WriteEncoderList(const std::vector<const ImageEncoder*>& encoders, ImageCodecInfo* buffer);
