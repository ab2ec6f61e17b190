#include "SectionWriters.h"

#include <png.h>
#include <zlib.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>

#include "StagedFile.h"

namespace {
// The stride of a 24-bit row in a BMP file, as in a section.
std::int64_t BmpStride(std::int32_t width) { return (std::int64_t(width) * 24 + 31) / 32 * 4; }

void Put16(BYTE*& at, std::uint16_t value)
{
    at[0] = static_cast<BYTE>(value), at[1] = static_cast<BYTE>(value >> 8);
    at += 2;
}

void Put32(BYTE*& at, std::uint32_t value)
{
    Put16(at, static_cast<std::uint16_t>(value));
    Put16(at, static_cast<std::uint16_t>(value >> 16));
}

int Commit(StagedFile& file)
{
    if (file.Intact() && file.Commit())
        return 0;
    const int error = file.Error() ? file.Error() : EIO;
    file.Discard();
    return error;
}

// A PNG under way: the staged file libpng writes into, and where its errors go.
struct PngTarget {
    StagedFile file;
    std::jmp_buf failed;
    int error = 0;
};

void WritePngBytes(png_structp png, png_bytep data, png_size_t size)
{
    auto* target = static_cast<PngTarget*>(png_get_io_ptr(png));
    if (!target->file.Write(data, size))
        png_error(png, "write");
}

void FlushNothing(png_structp) {}

[[noreturn]] void FailPng(png_structp png, png_const_charp)
{
    auto* target = static_cast<PngTarget*>(png_get_error_ptr(png));
    if (!target->error)
        target->error = target->file.Error() ? target->file.Error() : ENOMEM;
    std::longjmp(target->failed, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Up filters and run-length deflate: the pictures are smooth bands of a
// few colours, and this writes them several times faster than adaptive
// filters with full deflate, in files no larger.
void EncodePng(png_structp png, png_infop info, const SectionRows& rows)
{
    png_set_IHDR(png, info, static_cast<png_uint_32>(rows.width), static_cast<png_uint_32>(rows.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, static_cast<png_uint_32>(rows.dotsPerMeterX), static_cast<png_uint_32>(rows.dotsPerMeterY),
                 PNG_RESOLUTION_METER);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_strategy(png, Z_RLE);
    png_set_compression_buffer_size(png, 1 << 20);
    png_write_info(png, info);
    png_set_bgr(png);
    for (std::int32_t r = 0; r < rows.height; ++r)
        png_write_row(png, rows.topRow + r * rows.pitch);
    png_write_end(png, info);
}

// Kept apart from WritePng so that no object with a destructor lives
// between setjmp and longjmp.
int EncodePngGuarded(PngTarget& target, const SectionRows& rows)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &target, FailPng, IgnoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return ENOMEM;
    }
    if (setjmp(target.failed) == 0) {
        png_set_write_fn(png, &target, WritePngBytes, FlushNothing);
        EncodePng(png, info, rows);
    }
    png_destroy_write_struct(&png, &info);
    return target.error;
}
} // namespace

int SectionWriters::WriteBmp(const std::string& target, const SectionRows& rows)
{
    const std::int64_t stride = BmpStride(rows.width);
    const std::int64_t pixels = stride * rows.height;
    if (54 + pixels > 0xffffffffLL)
        return EFBIG;
    BYTE header[54] {};
    BYTE* at = header;
    Put16(at, 0x4d42); // "BM"
    Put32(at, static_cast<std::uint32_t>(54 + pixels));
    Put32(at, 0);
    Put32(at, 54);
    Put32(at, 40);
    Put32(at, static_cast<std::uint32_t>(rows.width));
    Put32(at, static_cast<std::uint32_t>(rows.height)); // bottom-up
    Put16(at, 1);
    Put16(at, 24);
    Put32(at, 0);
    Put32(at, static_cast<std::uint32_t>(pixels));
    Put32(at, static_cast<std::uint32_t>(rows.dotsPerMeterX));
    Put32(at, static_cast<std::uint32_t>(rows.dotsPerMeterY));

    StagedFile file;
    if (!file.Open(target))
        return file.Error();
    file.Write(header, sizeof header);
    if (rows.pitch == -stride) {
        // Stored bottom-up with the file's padding: the rows are the file's pixel array as they lie.
        file.Write(rows.topRow + (rows.height - 1) * rows.pitch, static_cast<std::size_t>(pixels));
    } else {
        const BYTE padding[3] {};
        const std::size_t used = static_cast<std::size_t>(rows.width) * 3;
        for (std::int32_t r = rows.height - 1; r >= 0 && file.Intact(); --r) {
            file.Write(rows.topRow + r * rows.pitch, used);
            file.Write(padding, static_cast<std::size_t>(stride) - used);
        }
    }
    return Commit(file);
}

int SectionWriters::WritePng(const std::string& target, const SectionRows& rows)
{
    PngTarget png;
    if (!png.file.Open(target))
        return png.file.Error();
    if (const int error = EncodePngGuarded(png, rows)) {
        png.file.Discard();
        return error;
    }
    return Commit(png.file);
}
