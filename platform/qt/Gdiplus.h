#pragma once
// Imaging services in the shape of the GDI+ flat interface: start-up, the
// image encoder list, bitmaps made from bitmap handles, saving to a file.
// Implemented on Qt's image writers in platform/qt (nivo_platform_imaging).
#include "platform/WinTypes.h"

enum GpStatus {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    NotImplemented = 6,
    Win32Error = 7,
    UnknownImageFormat = 13,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
};

struct GdiplusStartupInput {
    std::uint32_t GdiplusVersion;
    void* DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;
};

struct ImageCodecInfo {
    CLSID Clsid;
    GUID FormatID;
    const WCHAR* CodecName;
    const WCHAR* DllName;
    const WCHAR* FormatDescription;
    const WCHAR* FilenameExtension;
    const WCHAR* MimeType;
    DWORD Flags;
    DWORD Version;
    DWORD SigCount;
    DWORD SigSize;
    const BYTE* SigPattern;
    const BYTE* SigMask;
};

constexpr DWORD ImageCodecFlagsEncoder = 0x1;
constexpr DWORD ImageCodecFlagsSupportBitmap = 0x4;
constexpr DWORD ImageCodecFlagsBuiltin = 0x10000;

struct EncoderParameter {
    GUID Guid;
    ULONG NumberOfValues;
    ULONG Type;
    void* Value;
};

struct EncoderParameters {
    UINT Count;
    EncoderParameter Parameter[1];
};

// Library images are opaque: only the library makes them and looks inside.
class GpImage {
public:
    virtual ~GpImage() = default;

protected:
    GpImage() = default;
};

class GpBitmap : public GpImage {
protected:
    GpBitmap() = default;
};

// Only version 1 is known; each successful start hands out its own token.
// There is no background thread, so `output` is never written.
GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);
void GdiplusShutdown(ULONG_PTR token);

// The encoders Qt can write here, BMP, JPEG, GIF, TIFF and PNG first. The
// list is one block: the records, then the strings they point at.
GpStatus GdipGetImageEncodersSize(UINT* count, UINT* size);
GpStatus GdipGetImageEncoders(UINT count, UINT size, ImageCodecInfo* encoders);

// Copies a 24- or 32-bit bitmap, upright whatever its row order.
GpStatus GdipCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE palette, GpBitmap** result);
// Writes with the encoder's defaults. The file appears only once completely
// written; on failure an existing file is left as it was and the last error
// (GetLastError) tells why.
GpStatus GdipSaveImageToFile(GpImage* image, const WCHAR* path, const CLSID* encoder, const EncoderParameters* parameters);
GpStatus GdipDisposeImage(GpImage* image);
