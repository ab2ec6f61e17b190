#include "CDibImage.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "MemoryDCCache.h"
#include "export/ConversionCodePage.h"
#include "export/EncoderChoice.h"
#include "export/ImagingStartup.h"
#include "platform/Gdi32.h"
#include "platform/qt/Gdiplus.h"
#include "platform/Kernel32.h"

CDibImage::~CDibImage()
{
    if (m_bitmap)
        DeleteObject(DetachBitmap());
}

namespace {
BITMAPINFO SectionInfo(std::int32_t width, std::int32_t height)
{
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}
} // namespace

void CDibImage::CreateDib(std::int32_t width, std::int32_t height)
{
    const BITMAPINFO info = SectionInfo(width, height);
    TakeSection(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_topRow), nullptr, 0),
                height);
}

void CDibImage::CreateDibToColour(std::int32_t width, std::int32_t height)
{
    const BITMAPINFO info = SectionInfo(width, height);
    TakeSection(CreateDIBSectionToOverwrite(&info, reinterpret_cast<void**>(&m_topRow)), height);
}

void CDibImage::TakeSection(HBITMAP bitmap, std::int32_t height)
{
    if (!bitmap)
        return;
    m_bitmap = bitmap;
    AdoptBitmap(bitmap, height >= 0 ? RowOrder::BottomUp : RowOrder::TopDown);
}

void CDibImage::AdoptBitmap(HBITMAP bitmap, RowOrder order)
{
    DIBSECTION ds {};
    GetObjectA(bitmap, sizeof ds, &ds);
    m_bitsPerPixel = ds.dsBmih.biBitCount;
    m_width = ds.dsBmih.biWidth;
    m_height = std::abs(ds.dsBmih.biHeight);
    m_pitch = ((m_bitsPerPixel * m_width + 31) / 32) * 4;
    m_topRow = static_cast<BYTE*>(ds.dsBm.bmBits);
    if (order == RowOrder::BottomUp) {
        m_topRow += static_cast<std::ptrdiff_t>(m_height - 1) * m_pitch;
        m_pitch = -m_pitch;
    }
}

HDC CDibImage::GetImageDC()
{
    ++m_memDCUses;
    if (!m_memDC) {
        m_memDC = MemoryDCCache::Instance().TakeDC();
        m_savedBitmap = SelectObject(m_memDC, m_bitmap);
    }
    return m_memDC;
}

void CDibImage::ReleaseImageDC()
{
    if (--m_memDCUses == 0) {
        SelectObject(m_memDC, m_savedBitmap);
        MemoryDCCache::Instance().ReturnDC(m_memDC);
        m_memDC = nullptr;
    }
}

BOOL CDibImage::Blit(HDC target, int x, int y, int width, int height, int sourceX, int sourceY, DWORD rop)
{
    HDC source = GetImageDC();
    const BOOL result = BitBlt(target, x, y, width, height, source, sourceX, sourceY, rop);
    ReleaseImageDC();
    return result;
}

HBITMAP CDibImage::DetachBitmap()
{
    HBITMAP bitmap = m_bitmap;
    m_bitmap = nullptr;
    m_topRow = nullptr;
    m_width = 0;
    m_height = 0;
    m_pitch = 0;
    m_bitsPerPixel = 0;
    return bitmap;
}

namespace {
// The encoder the path's extension names among the platform's, or GUID_NULL.
CLSID EncoderFor(const char* path, UINT codePage)
{
    UINT count = 0;
    UINT size = 0;
    if (GdipGetImageEncodersSize(&count, &size) != Ok)
        return GUID_NULL;
    const auto list = std::make_unique<BYTE[]>(size);
    auto* encoders = reinterpret_cast<ImageCodecInfo*>(list.get());
    if (GdipGetImageEncoders(count, size, encoders) != Ok)
        return GUID_NULL;
    return ChooseEncoder(path, encoders, count, codePage);
}
} // namespace

bool CDibImage::CanEncode(const char* path) { return EncoderOf(path) != GUID_NULL; }

CLSID CDibImage::EncoderOf(const char* path)
{
    if (!path || !ImagingStartup::Process().Start())
        return GUID_NULL;
    return EncoderFor(path, ConversionCodePage());
}

HRESULT CDibImage::Save(const char* path) const
{
    if (!path || !ImagingStartup::Process().Start())
        return E_FAIL;
    const UINT codePage = ConversionCodePage();
    const CLSID encoder = EncoderFor(path, codePage);
    if (encoder == GUID_NULL)
        return E_FAIL;
    // UTF-16 never needs more characters than UTF-8 has bytes; the terminator
    // is converted too. A name that is not valid text would be written under
    // another name: it is refused.
    const int length = static_cast<int>(std::strlen(path)) + 1;
    std::vector<WCHAR> widePath(length);
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, path, length, widePath.data(), length) == 0) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return E_FAIL;
    }

    // A bitmap that cannot be made shows as a failed save below.
    GpBitmap* bitmap = nullptr;
    GdipCreateBitmapFromHBITMAP(m_bitmap, nullptr, &bitmap);
    const GpStatus status = GdipSaveImageToFile(bitmap, widePath.data(), &encoder, nullptr);
    GdipDisposeImage(bitmap);
    return status == Ok ? S_OK : E_FAIL;
}
