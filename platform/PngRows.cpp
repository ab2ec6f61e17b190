#include "PngRows.h"

#include <immintrin.h>
#include <zlib.h>

#include <algorithm>
#include <array>

namespace {
#define NIVO_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))
#define NIVO_AVX2 __attribute__((target("avx2")))

// GCC 12's AVX-512 intrinsics start some results from an undefined vector
// and then warn about it wherever they are inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

bool HasVbmi()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw");
}

bool HasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

void FilterUpScalar(const BYTE* row, const BYTE* above, std::int32_t width, BYTE* out)
{
    for (std::int32_t c = 0; c < width; ++c, row += 3, out += 3) {
        for (int k = 0; k < 3; ++k)
            out[k] = static_cast<BYTE>(row[2 - k] - above[3 * c + 2 - k]);
    }
}

// Byte 3p + k of sixteen pixels comes from byte 3p + 2 - k.
constexpr std::array<char, 64> MakeRgbOrder()
{
    std::array<char, 64> order {};
    for (int j = 0; j < 64; ++j)
        order[j] = static_cast<char>(j < 48 ? 3 * (j / 3) + 2 - j % 3 : j);
    return order;
}
alignas(64) constexpr std::array<char, 64> kRgbOrder = MakeRgbOrder();

// Sixteen pixels at a time: the differences, then their bytes swapped.
NIVO_VBMI void FilterUpVbmi(const BYTE* row, const BYTE* above, std::int32_t width, BYTE* out)
{
    const __m512i order = _mm512_load_si512(kRgbOrder.data());
    const __mmask64 pixels = (std::uint64_t(1) << 48) - 1;
    std::int32_t c = 0;
    for (; c + 16 <= width; c += 16) {
        const __m512i now = _mm512_maskz_loadu_epi8(pixels, row + 3 * c);
        const __m512i up = _mm512_maskz_loadu_epi8(pixels, above + 3 * c);
        _mm512_mask_storeu_epi8(out + 3 * c, pixels, _mm512_permutexvar_epi8(order, _mm512_sub_epi8(now, up)));
    }
    FilterUpScalar(row + 3 * c, above + 3 * c, width - c, out + 3 * c);
}

constexpr std::uint32_t kAdlerBase = 65521;
// 32-byte chunks whose sums stay within 32 bits a lane.
constexpr std::size_t kAdlerBlock = 173 * 32;

NIVO_AVX2 std::uint64_t SumLanes(__m256i v)
{
    alignas(32) std::uint32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), v);
    std::uint64_t sum = 0;
    for (const std::uint32_t lane : lanes)
        sum += lane;
    return sum;
}

// Over a block of n bytes from (a, b): a += their sum, and b += n a plus
// each byte times the number of sums it is part of, which for 32-byte chunks
// is 32 times the bytes of the chunks before plus 32 - j for byte j of its own.
NIVO_AVX2 std::uint32_t Adler32Avx2(std::uint32_t adler, const BYTE* data, std::size_t size)
{
    std::uint64_t a = adler & 0xffff;
    std::uint64_t b = adler >> 16;
    const __m256i weights = _mm256_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15,
                                             14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
    const __m256i ones = _mm256_set1_epi16(1);
    const __m256i zero = _mm256_setzero_si256();
    while (size >= 32) {
        const std::size_t n = std::min(size, kAdlerBlock) / 32 * 32;
        __m256i sums = zero, before = zero, weighted = zero;
        for (std::size_t i = 0; i < n; i += 32) {
            const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
            before = _mm256_add_epi32(before, sums);
            sums = _mm256_add_epi32(sums, _mm256_sad_epu8(bytes, zero));
            weighted = _mm256_add_epi32(weighted, _mm256_madd_epi16(_mm256_maddubs_epi16(bytes, weights), ones));
        }
        b = (b + n * a + 32 * SumLanes(before) + SumLanes(weighted)) % kAdlerBase;
        a = (a + SumLanes(sums)) % kAdlerBase;
        data += n;
        size -= n;
    }
    return static_cast<std::uint32_t>(adler32_z((b << 16) | a, data, size));
}
} // namespace

void PngRows::FilterUp(const BYTE* row, const BYTE* above, std::int32_t width, BYTE* out)
{
    static const bool vbmi = HasVbmi();
    (vbmi ? FilterUpVbmi : FilterUpScalar)(row, above, width, out);
}

void PngRows::FilterSub(const BYTE* row, std::int32_t width, BYTE* out)
{
    for (std::int32_t c = 0; c < width; ++c, row += 3, out += 3) {
        for (int k = 0; k < 3; ++k)
            out[k] = static_cast<BYTE>(row[2 - k] - (c > 0 ? row[2 - k - 3] : 0));
    }
}

std::uint32_t PngRows::Adler32(std::uint32_t adler, const BYTE* data, std::size_t size)
{
    static const bool avx2 = HasAvx2();
    return avx2 ? Adler32Avx2(adler, data, size) : static_cast<std::uint32_t>(adler32_z(adler, data, size));
}
