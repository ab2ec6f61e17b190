// The calculator measuring a window of any size, including sizes it refuses:
// it must never write outside the W x H entries it holds. Iteration limits
// stay tiny and sizes it takes are cut down, so each input is quick. The
// sanitizer fails allocations above 64 MiB and aborts where a throwing one
// fails, so sides whose sample points pass that limit, and buffers that
// cannot be had, are left to the unit test that limits memory instead.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <cstdint>

#include "FuzzCheck.h"
#include "fractal/CNivoDoc.h"
#include "tests/FakeWindows.h"

extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1:max_allocation_size_mb=64"; }

namespace {
LONG SideFrom(FuzzedDataProvider& input)
{
    // Mostly small sides, where pictures are really computed; sometimes any LONG.
    return input.ConsumeBool() ? input.ConsumeIntegralInRange<LONG>(-2, 70) : input.ConsumeIntegral<LONG>();
}

double CoordinateFrom(FuzzedDataProvider& input, double usual)
{
    return input.ConsumeBool() ? usual : std::bit_cast<double>(input.ConsumeIntegral<std::uint64_t>());
}

// Eight bytes of x per column, of y and of each queued orbit value per row.
constexpr std::int64_t kLargestAllocation = 64 * 1024 * 1024;
constexpr LONG kLongestSampled = kLargestAllocation / 8 - 1024;
constexpr LONG kWidestComputed = 65536;
constexpr LONG kLargestComputed = 1 << 20;
// More entries than the calculator takes: refused before anything is allocated.
constexpr std::int64_t kRefusedEntries = 0x7fffffff / 3;

void ComputeOnce(CNivoDoc& doc, FuzzedDataProvider& input)
{
    LONG width = std::min(SideFrom(input), kLongestSampled);
    LONG height = std::min(SideFrom(input), kLongestSampled);
    // Every buffer the calculator does not refuse is granted (mapped memory,
    // past the sanitizer's limit), then computed or cleared, and without rows
    // every column still reports its progress: keep those quick, narrower and
    // then shorter.
    if (width > 0 && (height <= 0 || std::int64_t(width) * height <= kRefusedEntries)) {
        width = std::min(width, kWidestComputed);
        if (height > 0)
            height = std::min<LONG>(height, std::max<LONG>(1, kLargestComputed / width));
    }
    const std::int32_t limit = input.ConsumeIntegralInRange<std::int32_t>(-1, 4);
    const double x = CoordinateFrom(input, -0.5);
    const double y = CoordinateFrom(input, 0.0);
    const double zoom = CoordinateFrom(input, 1.0);

    FakeWindow window(width, height);
    doc.SetWindow(&window);
    doc.Compute(limit, x, y, zoom, DialogBars());
    doc.SetWindow(nullptr);

    const std::int64_t entries = width > 0 && height > 0 ? std::int64_t(width) * height : 0;
    Require(doc.BufferSize() == 0 || doc.BufferSize() == entries, "the buffer holds W x H entries or none");
    Require(doc.BufferSize() == 0 || doc.m_buffer, "a counted buffer exists");
    // The first entry is computed whenever the view spans some width and height.
    const double inv = 1.0 / zoom;
    const double halfHeight = (((3.6 / width) * height) * 0.5) * inv;
    const bool spans = x - inv * 1.8 < inv * 1.8 + x && y - halfHeight < halfHeight + y;
    if (doc.BufferSize() > 0 && spans)
        Require(doc.m_buffer[0] >= std::min(limit, 1) && doc.m_buffer[0] <= std::max(limit, 0), "a count within the limit");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    CNivoDoc doc;
    // Each Compute replaces the buffer of the one before.
    const int rounds = input.ConsumeIntegralInRange(1, 3);
    for (int i = 0; i < rounds; ++i)
        ComputeOnce(doc, input);
    return 0;
}
