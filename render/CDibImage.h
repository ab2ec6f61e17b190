#pragma once
// The frame image: a 24-bit bottom-up section bitmap, drawn through a memory
// device context borrowed from MemoryDCCache for each use.
#include <cstdint>

#include "platform/WinTypes.h"

class CDibImage {
public:
    enum class RowOrder { TopDown, BottomUp };

    CDibImage() = default;
    ~CDibImage();
    CDibImage(const CDibImage&) = delete;
    CDibImage& operator=(const CDibImage&) = delete;

    void CreateDib(std::int32_t width, std::int32_t height);
    // The same section, for a caller that colours every pixel before any is
    // read: its memory is not zeroed first.
    void CreateDibToColour(std::int32_t width, std::int32_t height);
    void AdoptBitmap(HBITMAP bitmap, RowOrder order);
    HDC GetImageDC();
    void ReleaseImageDC();
    BOOL Blit(HDC target, int x, int y, int width, int height, int sourceX, int sourceY, DWORD rop);
    HBITMAP DetachBitmap();
    // On failure GetLastError tells why, where the platform said.
    HRESULT Save(const char* path) const;
    // Whether some encoder takes the path's extension.
    static bool CanEncode(const char* path);
    // The encoder the path's extension names, or GUID_NULL.
    static CLSID EncoderOf(const char* path);

    HBITMAP m_bitmap = nullptr;
    BYTE* m_topRow = nullptr;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::int32_t m_pitch = 0;
    std::int32_t m_bitsPerPixel = 0;
    HDC m_memDC = nullptr;
    std::int32_t m_memDCUses = 0;
    HBITMAP m_savedBitmap = nullptr;

private:
    void TakeSection(HBITMAP bitmap, std::int32_t height);
};
