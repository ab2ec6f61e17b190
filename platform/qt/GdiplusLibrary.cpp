#include "GdiplusLibrary.h"

#include <QFile>
#include <QString>
#include <mutex>
#include <set>
#include <string_view>

#include "ImageEncoders.h"
#include "platform/GdiObject.h"
#include "platform/Kernel32.h"
#include "platform/SectionWriters.h"

namespace {
struct LibraryState {
    std::mutex mutex;
    std::set<ULONG_PTR> tokens;
    ULONG_PTR nextToken = 1;
};

// Never destroyed: image export stops the library from an exit handler, which
// may run after ordinary statics are gone.
LibraryState& State()
{
    static auto* state = new LibraryState;
    return *state;
}

// The file name bytes of a library path; false when the path is not valid text.
bool FileNameOf(const WCHAR* path, std::string& name)
{
    // A lone surrogate has no file-name bytes: it would name another file.
    const QString text = QString::fromUtf16(path);
    if (!QStringView(text).isValidUtf16())
        return false;
    name = QFile::encodeName(text).toStdString();
    return true;
}

// BMP and PNG straight from a section's rows, with the resolution a new
// picture has: 0 or the errno value that kept the target; -1 for any other
// format or bitmap.
int WriteSection(const std::string& target, const SectionBitmap& bitmap, std::string_view format)
{
    const SectionRows* shared = bitmap.Rows();
    if (!shared || !IsWrittenFromSections(format))
        return -1;
    SectionRows rows = *shared;
    rows.dotsPerMeterX = PictureServices::DotsPerMeter();
    rows.dotsPerMeterY = rows.dotsPerMeterX;
    return format == "bmp" ? SectionWriters::WriteBmp(target, rows) : SectionWriters::WritePng(target, rows);
}

bool IsStarted()
{
    LibraryState& state = State();
    std::lock_guard lock(state.mutex);
    return !state.tokens.empty();
}
} // namespace

GpStatus GdiplusLibrary::Fail(DWORD error)
{
    SetLastError(error);
    return error == ERROR_NOT_ENOUGH_MEMORY ? OutOfMemory : Win32Error;
}

GpStatus GdiplusLibrary::StatusOfErrno(int error) { return error == 0 ? Ok : Fail(LastErrorOfErrno(error)); }

GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void*)
{
    if (!token || !input)
        return InvalidParameter;
    if (input->GdiplusVersion != 1)
        return UnsupportedGdiplusVersion;
    LibraryState& state = State();
    std::lock_guard lock(state.mutex);
    *token = state.nextToken++;
    state.tokens.insert(*token);
    return Ok;
}

void GdiplusShutdown(ULONG_PTR token)
{
    LibraryState& state = State();
    std::lock_guard lock(state.mutex);
    state.tokens.erase(token);
}

GpStatus GdipGetImageEncodersSize(UINT* count, UINT* size)
{
    if (!count || !size)
        return InvalidParameter;
    if (!IsStarted())
        return GdiplusNotInitialized;
    const std::vector<const ImageEncoder*> encoders = AvailableEncoders();
    *count = static_cast<UINT>(encoders.size());
    *size = EncoderListSize(encoders);
    return Ok;
}

GpStatus GdipGetImageEncoders(UINT count, UINT size, ImageCodecInfo* encoders)
{
    if (!encoders)
        return InvalidParameter;
    if (!IsStarted())
        return GdiplusNotInitialized;
    const std::vector<const ImageEncoder*> available = AvailableEncoders();
    if (count != available.size() || size != EncoderListSize(available))
        return GenericError;
    WriteEncoderList(available, encoders);
    return Ok;
}

GpStatus GdipDisposeImage(GpImage* image)
{
    if (!image)
        return InvalidParameter;
    delete image;
    return Ok;
}

GpStatus GdipCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE, GpBitmap** result)
{
    if (!result)
        return InvalidParameter;
    *result = nullptr;
    if (!bitmap)
        return InvalidParameter;
    if (!IsStarted())
        return GdiplusNotInitialized;
    const WORD bitCount = bitmap->Header().biBitCount;
    if (bitCount != 24 && bitCount != 32)
        return InvalidParameter;
    if (bitmap->IsSection()) {
        const SectionRows rows {bitmap->Row(0),
                                bitmap->BottomUp() ? -std::int64_t(bitmap->Stride()) : bitmap->Stride(),
                                static_cast<std::int32_t>(bitmap->Width()), static_cast<std::int32_t>(bitmap->Height()),
                                0, 0};
        *result = PictureServices::ShareSection(bitmap->SharedBits(), rows);
    } else {
        *result = PictureServices::CopyBitmap(*bitmap);
    }
    return *result ? Ok : GdiplusLibrary::Fail(ERROR_NOT_ENOUGH_MEMORY);
}

// The file takes the target's name only once every byte of it is on the
// disk; otherwise the old file stays as it was and nothing is left beside it.
GpStatus GdipSaveImageToFile(GpImage* image, const WCHAR* path, const CLSID* encoder, const EncoderParameters* parameters)
{
    const auto* bitmap = dynamic_cast<const SectionBitmap*>(image);
    if (!bitmap || !path || !encoder)
        return InvalidParameter;
    if (!IsStarted())
        return GdiplusNotInitialized;
    // Encoder settings are not offered: every encoder writes with its defaults.
    if (parameters && parameters->Count > 0)
        return NotImplemented;
    const ImageEncoder* chosen = FindEncoder(*encoder);
    if (!chosen)
        return UnknownImageFormat;
    std::string target;
    if (!FileNameOf(path, target))
        return GdiplusLibrary::Fail(ERROR_NO_UNICODE_TRANSLATION);
    if (const int error = WriteSection(target, *bitmap, chosen->qtFormat); error >= 0)
        return GdiplusLibrary::StatusOfErrno(error);
    return PictureServices::Save(target, *bitmap, chosen->qtFormat);
}
