#include "DeepCalculator.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "BlaTable.h"
#include "FloatExp.h"
#include "Mpfr.h"
#include "PerturbedCount.h"
#include "ReferenceOrbit.h"

namespace {
// Bits past the pixel step kept by the reference: the orbit loses some to rounding on the way.
constexpr mpfr_prec_t kGuardBits = 80;
// A run of steps is used while the dropped squares stay this far under the kept terms.
constexpr double kBlaEpsilon = 0x1p-30;
// Pixel steps whose binary exponent lies within this leave the deltas room in doubles.
constexpr std::int64_t kDoubleExponentRange = 900;

bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

mpfr_exp_t ExponentOf(const std::string& text)
{
    Mpfr value(64);
    mpfr_set_str(value, text.c_str(), 10, MPFR_RNDN);
    return mpfr_regular_p(value) ? mpfr_get_exp(value) : 0;
}

// Enough bits for the centre to place every pixel exactly: from the centre's
// magnitude (up to where every pixel escapes at once) down below the pixel step.
mpfr_prec_t PrecisionFor(const DeepView& view, mpfr_srcptr zoom)
{
    const mpfr_exp_t centre = std::clamp<mpfr_exp_t>(std::max(ExponentOf(view.centreX), ExponentOf(view.centreY)), 0, 64);
    const mpfr_exp_t magnification = std::max<mpfr_exp_t>(mpfr_get_exp(zoom), 0);
    const auto side = static_cast<mpfr_exp_t>(std::bit_width(static_cast<std::uint32_t>(std::max(view.width, view.height))));
    return static_cast<mpfr_prec_t>(centre + magnification + side) + kGuardBits;
}

// s = 3.6 / (zoom * W).
FloatExp PixelStep(mpfr_srcptr zoom, std::int32_t width)
{
    Mpfr step(128);
    mpfr_set_str(step, "3.6", 10, MPFR_RNDN);
    mpfr_div(step, step, zoom, MPFR_RNDN);
    mpfr_div_si(step, step, width, MPFR_RNDN);
    long exponent = 0;
    const double mantissa = mpfr_get_d_2exp(&exponent, step, MPFR_RNDN);
    return FloatExp(mantissa, exponent);
}

// Offset of column (or row) i from the centre: (i - size / 2) * s.
template <class T>
T Offset(std::int32_t i, std::int32_t size, FloatExp step)
{
    const FloatExp offset(step.m * ((2.0 * i - size) * 0.5), step.e);
    if constexpr (std::is_same_v<T, double>)
        return offset.ToDouble();
    else
        return offset;
}

template <class T>
struct Job {
    const ReferenceOrbit* orbit;
    const BlaTable<T>* bla;
    FloatExp step;
    std::int32_t width;
    std::int32_t height;
    std::int32_t limit;
    std::int32_t* out;
};

template <class T>
void FillColumn(const Job<T>& job, std::int32_t column)
{
    const T dcr = Offset<T>(column, job.width, job.step);
    std::int32_t* out = job.out + static_cast<std::int64_t>(column) * job.height;
    for (std::int32_t row = 0; row < job.height; ++row)
        out[row] = Perturbation::Count(*job.orbit, *job.bla, dcr, Offset<T>(row, job.height, job.step), job.limit);
}

template <class T>
bool FillColumns(WorkerPool& pool, const Job<T>& job, const DeepCalculator::Progress& progress,
                 const std::atomic<bool>* cancel)
{
    std::atomic<std::int32_t> next {0};
    std::atomic<std::int32_t> done {0};
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    pool.Run(threads, [&](int index) {
        for (std::int32_t column = next++; column < job.width && !Cancelled(cancel); column = next++) {
            FillColumn(job, column);
            const std::int32_t finished = ++done;
            if (index == 0 && progress)
                progress(finished);
        }
    });
    if (Cancelled(cancel))
        return false;
    if (progress)
        progress(job.width);
    return true;
}

template <class T>
bool Fill(WorkerPool& pool, const ReferenceOrbit& orbit, FloatExp step, const DeepView& view, std::int32_t* out,
          const DeepCalculator::Progress& progress, const std::atomic<bool>* cancel)
{
    // The farthest pixel from the centre, rounded up.
    const FloatExp reach = step * (0.5 * (view.width + view.height) + 1.0);
    BlaTable<T> bla;
    bla.Build(orbit, reach, kBlaEpsilon);
    const Job<T> job {&orbit, &bla, step, view.width, view.height, view.limit, out};
    return FillColumns(pool, job, progress, cancel);
}
} // namespace

bool DeepCalculator::Compute(const DeepView& view, std::vector<std::int32_t>& counts, const Progress& progress,
                             const std::atomic<bool>* cancel)
{
    counts.assign(static_cast<std::size_t>(view.width) * static_cast<std::size_t>(view.height), 0);
    Mpfr zoom(128);
    mpfr_set_str(zoom, view.zoom.c_str(), 10, MPFR_RNDN);
    const mpfr_prec_t precision = PrecisionFor(view, zoom);
    // The calculator's rows run over the conjugate plane: the reference sits at (cx, -cy).
    Mpfr cx(precision), cy(precision);
    mpfr_set_str(cx, view.centreX.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(cy, view.centreY.c_str(), 10, MPFR_RNDN);
    mpfr_neg(cy, cy, MPFR_RNDN);
    ReferenceOrbit orbit;
    if (!orbit.Compute(cx, cy, precision, view.limit, cancel))
        return false;
    const FloatExp step = PixelStep(zoom, view.width);
    if (step.e > -kDoubleExponentRange && step.e < kDoubleExponentRange)
        return Fill<double>(m_pool, orbit, step, view, counts.data(), progress, cancel);
    return Fill<FloatExp>(m_pool, orbit, step, view, counts.data(), progress, cancel);
}
