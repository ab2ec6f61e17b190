// The fast Compute against the literal loops on small views anywhere near the
// set: every count the same, in every thread count and kernel. The views
// start from places where orbits are long or end together (cusps, bulbs,
// spirals, the antenna) and wander from there by the input's bits.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "fractal/CNivoDoc.h"
#include "fractal/ComputeSettings.h"
#include "fractal/ReferenceCompute.h"
#include "tests/FakeWindows.h"

namespace {
struct Place {
    double x, y;
};
// In this order: the inputs pick them by index.
const Place kPlaces[] = {
    {-0.5, 0.0},                   // start view
    {0.25, 0.0},                   // main cusp
    {-0.75, 0.1},                  // seahorse valley
    {-1.25, 0.0},                  // period-2 bulb's edge
    {-1.75, 0.0},                  // period-3 minibrot
    {-2.0, 0.0},                   // antenna's tip
    {-0.1225, 0.745},              // rabbit bulb
    {0.28, 0.53},                  // period-4 bulb
    {-0.7436447860, 0.1318252536}, // seahorse spiral
    {-1.401155, 0.0},              // Feigenbaum point
    {0.0, 1.0},                    // c = i, a Misiurewicz point
    {-0.16, 1.0405},               // filaments above the set
    {0.3, 0.0},                    // just right of the cusp
    {-1.9, 0.0},                   // on the antenna
};

double Wander(FuzzedDataProvider& input, double from, double scale)
{
    return from + scale * input.ConsumeFloatingPointInRange(-1.0, 1.0);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const LONG width = input.ConsumeIntegralInRange<LONG>(1, 40);
    const LONG height = input.ConsumeIntegralInRange<LONG>(1, 96);
    // Limits around a chunk's multiples and past the lockstep's longest run come often.
    const int limit = input.ConsumeBool() ? input.ConsumeIntegralInRange(1, 1500)
                                          : 8 * input.ConsumeIntegralInRange(1, 40) + input.ConsumeIntegralInRange(-1, 1);
    const double zoom = std::pow(10.0, input.ConsumeFloatingPointInRange(0.0, 13.0));
    const Place place = input.PickValueInArray(kPlaces);
    const double x = Wander(input, place.x, 2.0 / zoom);
    const double y = Wander(input, place.y, 2.0 / zoom);
    const int threads = input.ConsumeIntegralInRange(1, 3);
    const Kernel kernel = input.PickValueInArray({Kernel::Scalar, Kernel::Avx2, Kernel::Avx512});

    const std::vector<std::int32_t> expected = ReferenceCompute(width, height, limit, x, y, zoom).entries;
    ComputeSettings::Set({threads, kernel});
    FakeWindow window(width, height);
    CNivoDoc doc(&window);
    doc.Compute(limit, x, y, zoom, DialogBars());
    ComputeSettings::Set({});
    Require(std::vector<std::int32_t>(doc.m_buffer, doc.m_buffer + doc.BufferSize()) == expected,
            "every count is the literal loop's");
    return 0;
}
