// Section bitmaps from any header: CreateDIBSection makes one only for a
// header it can hold, with exactly the rows it describes; GetObjectA writes
// no more than the caller's buffer takes; pixel writes and blits with any
// coordinates stay inside their bitmaps. Bitmaps the calls take are kept
// within 64 MiB, so that each input is quick.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "FuzzCheck.h"
#include "platform/DeviceContext.h"
#include "platform/Gdi32.h"
#include "platform/GdiObject.h"

extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1:max_allocation_size_mb=64"; }

namespace {
template <class T>
T Pick(FuzzedDataProvider& input, std::initializer_list<const T> usual)
{
    return input.ConsumeBool() ? input.PickValueInArray(usual) : input.ConsumeIntegral<T>();
}

LONG SideFrom(FuzzedDataProvider& input)
{
    return input.ConsumeBool() ? input.ConsumeIntegralInRange<LONG>(-3, 40) : input.ConsumeIntegral<LONG>();
}

BITMAPINFOHEADER HeaderFrom(FuzzedDataProvider& input)
{
    BITMAPINFOHEADER h {};
    h.biSize = Pick<DWORD>(input, {40, 39, 108, 124});
    h.biWidth = SideFrom(input);
    h.biHeight = SideFrom(input);
    h.biPlanes = Pick<WORD>(input, {1});
    h.biBitCount = Pick<WORD>(input, {24, 32, 8, 1});
    h.biCompression = Pick<DWORD>(input, {BI_RGB, 3});
    h.biSizeImage = input.ConsumeIntegral<DWORD>();
    h.biXPelsPerMeter = input.ConsumeIntegral<LONG>();
    h.biYPelsPerMeter = input.ConsumeIntegral<LONG>();
    h.biClrUsed = Pick<DWORD>(input, {0});
    h.biClrImportant = input.ConsumeIntegral<DWORD>();
    return h;
}

// Bytes a 24-bit section of this header needs (rows padded to 4 bytes), or
// -1 when its stride does not fit a LONG or its size a DWORD.
std::int64_t SectionBytes(const BITMAPINFOHEADER& h, std::int64_t* stride)
{
    const std::int64_t height = std::abs(std::int64_t(h.biHeight));
    *stride = (std::int64_t(h.biWidth) * 3 + 3) / 4 * 4;
    if (*stride > std::numeric_limits<LONG>::max() || *stride > std::numeric_limits<DWORD>::max() / height)
        return -1;
    return *stride * height;
}

// The bitmaps' pixels are mapped memory, out of the sanitizer's allocation
// limit, and a plain bitmap is zeroed: a header that would be taken keeps its
// sign but no more pixels than 64 MiB holds at 32 bits.
void KeepQuick(BITMAPINFOHEADER& h)
{
    constexpr std::int64_t kQuickPixels = 16 * 1024 * 1024;
    std::int64_t stride = 0;
    if (h.biWidth <= 0 || h.biHeight == 0 || SectionBytes(h, &stride) < 0)
        return;
    h.biWidth = LONG(std::min<std::int64_t>(h.biWidth, kQuickPixels));
    const LONG rows = LONG(std::clamp<std::int64_t>(kQuickPixels / h.biWidth, 1, std::abs(std::int64_t(h.biHeight))));
    h.biHeight = h.biHeight < 0 ? -rows : rows;
}

void CheckDescription(HBITMAP bitmap, const BITMAPINFOHEADER& h, std::int64_t stride, BYTE* bits, FuzzedDataProvider& input)
{
    const int size = input.ConsumeBool()
                         ? input.PickValueInArray({0, int(sizeof(BITMAP)) - 1, int(sizeof(BITMAP)),
                                                   int(sizeof(DIBSECTION)) - 1, int(sizeof(DIBSECTION))})
                         : input.ConsumeIntegralInRange(-8, 512);
    // Exactly the room the size claims, so any byte beyond it is caught.
    std::vector<unsigned char> room(std::size_t(std::max(size, 0)));
    void* buffer = input.ConsumeBool() || room.empty() ? nullptr : room.data();
    const int written = GetObjectA(bitmap, size, buffer);
    if (size < int(sizeof(BITMAP))) {
        Require(written == 0, "no description fits a smaller buffer");
        return;
    }
    Require(written == int(size >= int(sizeof(DIBSECTION)) ? sizeof(DIBSECTION) : sizeof(BITMAP)),
            "the section description when it fits, else the bitmap's");
    if (!buffer)
        return;
    BITMAP bm;
    std::memcpy(&bm, buffer, sizeof bm);
    Require(bm.bmWidth == h.biWidth && bm.bmHeight == std::abs(std::int64_t(h.biHeight)), "the size described");
    Require(bm.bmWidthBytes == stride && bm.bmBitsPixel == 24, "the row layout described");
    if (written == int(sizeof(DIBSECTION))) {
        DIBSECTION ds;
        std::memcpy(&ds, buffer, sizeof ds);
        // A caller that did not ask for the pixels still finds them in the description.
        Require(ds.dsBm.bmBits && (!bits || ds.dsBm.bmBits == bits), "the pixels handed out");
        Require(ds.dsBmih.biSizeImage == stride * std::abs(std::int64_t(h.biHeight)), "the image size described");
        Require(ds.dsBmih.biWidth == h.biWidth && ds.dsBmih.biHeight == h.biHeight, "the header kept");
    }
}

void PaintAndBlit(HBITMAP bitmap, const BITMAPINFOHEADER& h, std::int64_t stride, BYTE* bits, FuzzedDataProvider& input)
{
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bitmap);
    const LONG height = LONG(std::abs(std::int64_t(h.biHeight)));
    const int x = input.ConsumeBool() ? input.ConsumeIntegralInRange(-1, h.biWidth) : input.ConsumeIntegral<int>();
    const int y = input.ConsumeBool() ? input.ConsumeIntegralInRange(-1, height) : input.ConsumeIntegral<int>();
    const bool inside = x >= 0 && y >= 0 && x < h.biWidth && y < height;
    Require(SetPixel(dc, x, y, RGB(1, 2, 3)) == (inside ? RGB(1, 2, 3) : CLR_INVALID), "pixels inside only");
    if (inside && bits) {
        // Row 0 is the top: the last row in memory for a bottom-up section.
        const std::int64_t row = h.biHeight > 0 ? height - 1 - y : y;
        const BYTE* pixel = bits + row * stride + std::int64_t(x) * 3;
        Require(pixel[0] == 3 && pixel[1] == 2 && pixel[2] == 1, "the pixel lands where the layout says");
    }

    BITMAPINFO small {};
    small.bmiHeader = {sizeof(BITMAPINFOHEADER), input.ConsumeIntegralInRange<LONG>(1, 9),
                       input.ConsumeIntegralInRange<LONG>(-9, 9) | 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    HBITMAP other = CreateDIBSection(nullptr, &small, DIB_RGB_COLORS, nullptr, nullptr, 0);
    HDC otherDC = CreateCompatibleDC(nullptr);
    SelectObject(otherDC, other);
    auto coordinate = [&input] { return input.ConsumeBool() ? input.ConsumeIntegralInRange(-12, 12) : input.ConsumeIntegral<int>(); };
    const bool intoOther = input.ConsumeBool();
    const int bx = coordinate(), by = coordinate(), bw = coordinate(), bh = coordinate(), sx = coordinate(),
              sy = coordinate();
    Require(BitBlt(intoOther ? otherDC : dc, bx, by, bw, bh, intoOther ? dc : otherDC, sx, sy, SRCCOPY) == 1,
            "blits between sections of one format succeed, clipped");
    DeleteDC(otherDC);
    DeleteObject(other);
    DeleteDC(dc);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    BITMAPINFO info {};
    info.bmiHeader = HeaderFrom(input);
    KeepQuick(info.bmiHeader);
    const UINT usage = Pick<UINT>(input, {DIB_RGB_COLORS, 1});
    const bool wantBits = input.ConsumeBool();
    void* bits = reinterpret_cast<void*>(1);
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, usage, wantBits ? &bits : nullptr, nullptr, 0);

    const BITMAPINFOHEADER& h = info.bmiHeader;
    std::int64_t stride = 0;
    const bool possible = h.biSize >= sizeof(BITMAPINFOHEADER) && usage == DIB_RGB_COLORS && h.biBitCount == 24 &&
                          h.biCompression == BI_RGB && h.biWidth > 0 && h.biHeight != 0 && SectionBytes(h, &stride) > 0;
    if (!bitmap) {
        Require(!wantBits || bits == nullptr, "no pixels without a bitmap");
        return 0;
    }
    Require(possible, "only a header it can hold makes a section");
    BYTE* pixels = wantBits ? static_cast<BYTE*>(bits) : nullptr;
    Require(!wantBits || pixels, "a section hands out its pixels");
    if (pixels) {
        // Every byte the header describes is there.
        pixels[0] = 0;
        pixels[SectionBytes(h, &stride) - 1] = 0;
    }
    CheckDescription(bitmap, h, stride, pixels, input);
    PaintAndBlit(bitmap, h, stride, pixels, input);

    // The device-dependent kind of the same size.
    HBITMAP plain = CreateCompatibleBitmap(nullptr, h.biWidth, h.biHeight);
    if (plain) {
        Require(GetObjectA(plain, sizeof(DIBSECTION), nullptr) == int(sizeof(BITMAP)), "a plain bitmap is no section");
        DeleteObject(plain);
    }
    DeleteObject(bitmap);
    return 0;
}
