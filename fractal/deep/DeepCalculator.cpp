#include "DeepCalculator.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <thread>

#include "BlaTable.h"
#include "DeepZoomCurve.h"
#include "DoubleDouble.h"
#include "FloatExp.h"
#include "Mpfr.h"
#include "NucleusSearch.h"
#include "PerturbedCount.h"
#include "PreciseCount.h"
#include "ReferenceOrbit.h"

namespace {
// Bits past the pixel step kept by the reference: the orbit loses some to rounding on the way.
constexpr mpfr_prec_t kGuardBits = 80;
// Rows skipped by the first pass after it fails, doubled at each failure in a row.
constexpr std::int32_t kRetryRows = 8;
// Pixel steps whose binary exponent lies within this leave the deltas and
// their squares room in long doubles (about 1e-2400 to 1e2400).
constexpr std::int64_t kLongDoubleExponentRange = 8000;
// Pixel steps above 2^-300 leave the deltas, their squares and most runs'
// radii room in doubles (down to about 1e-308): the first count is made in
// doubles, faster than long doubles.
constexpr std::int64_t kDoubleExponentRange = 300;
// How far from the centre a nucleus may serve as the reference, in view
// half-diagonals: further, its deltas would share so large a part that the
// pixels' own lose digits (a seahorse valley at 1e50 with a nucleus 46
// half-diagonals away had 0.45 % of its pixels wrong, with the centre 0.1 %).
constexpr double kFarthestNucleus = 4.0;

// Where doubles hold the deltas: the first count and the double-doubles.
bool InDoubles(FloatExp step) { return step.e > -kDoubleExponentRange; }

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
    const mpfr_exp_t centre =
        std::clamp<mpfr_exp_t>(std::max(ExponentOf(view.centreX), ExponentOf(view.centreY)), 0, 64);
    const mpfr_exp_t magnification = std::max<mpfr_exp_t>(mpfr_get_exp(zoom), 0);
    const auto longest = static_cast<std::uint32_t>(std::max(view.width, view.height));
    const auto side = static_cast<mpfr_exp_t>(std::bit_width(longest));
    return static_cast<mpfr_prec_t>(centre + magnification + side) + kGuardBits;
}

// The bits the pixels' offsets are formed with: more than long doubles
// keep, and enough for a pixel beside the reference point.
constexpr mpfr_prec_t kOffsetBits = 192;

// s = 3.6 / (zoom * W), to kOffsetBits.
void SetPixelStep(mpfr_ptr step, mpfr_srcptr zoom, std::int32_t width)
{
    mpfr_set_str(step, "3.6", 10, MPFR_RNDN);
    mpfr_div(step, step, zoom, MPFR_RNDN);
    mpfr_div_si(step, step, width, MPFR_RNDN);
}

// Offsets of the columns (or rows) from the reference point, (i - size / 2) s
// plus the centre's offset from it, rounded once from MPFR: valleys hold
// pixels whose count moves when their point moves by 1e-14 of a step.
template <class T>
std::vector<T> OffsetsOf(mpfr_srcptr step, mpfr_srcptr shift, std::int32_t size)
{
    Mpfr offset(kOffsetBits);
    std::vector<T> offsets;
    offsets.reserve(static_cast<std::size_t>(size));
    for (std::int32_t i = 0; i < size; ++i) {
        mpfr_mul_si(offset, step, 2 * static_cast<long>(i) - size, MPFR_RNDN);
        mpfr_div_2ui(offset, offset, 1, MPFR_RNDN);
        mpfr_add(offset, offset, shift, MPFR_RNDN);
        if constexpr (std::is_same_v<T, FloatExp>) {
            offsets.push_back(ToFloatExp(offset));
        } else if constexpr (std::is_same_v<T, DoubleDouble>) {
            const double hi = mpfr_get_d(offset, MPFR_RNDN);
            mpfr_sub_d(offset, offset, hi, MPFR_RNDN);
            offsets.push_back({hi, mpfr_get_d(offset, MPFR_RNDN)});
        } else {
            offsets.push_back(mpfr_get_ld(offset, MPFR_RNDN));
        }
    }
    return offsets;
}

struct Reference {
    explicit Reference(mpfr_prec_t precision) : pointX(precision), pointY(precision) {}

    ReferenceOrbit orbit;
    // The point whose orbit it is.
    Mpfr pointX;
    Mpfr pointY;
    // The centre less the reference point, exactly and rounded.
    Mpfr exactShiftX {kOffsetBits};
    Mpfr exactShiftY {kOffsetBits};
    FloatExp shiftX;
    FloatExp shiftY;
};

// The orbit's rests and the runs in double-doubles, made by the first pixel
// that needs them: most views need none, and at high limits they cost about
// what the reference orbit and its long double runs cost.
class PreciseRuns {
public:
    PreciseRuns(Reference& reference, FloatExp reach, const std::atomic<bool>* cancel)
        : m_reference(reference), m_reach(reach), m_cancel(cancel)
    {
    }

    const BlaTable<DoubleDouble>& Get()
    {
        std::call_once(m_made, [this] {
            m_reference.orbit.ComputeRests(m_reference.pointX, m_reference.pointY,
                                           mpfr_get_prec(m_reference.pointX), m_cancel);
            // On one of the pool's threads, whose MPFR memory would otherwise end with it.
            FreeDeepThreadCaches();
            m_runs.Build(m_reference.orbit, m_reach, Perturbation::kPreciseEpsilon);
        });
        return m_runs;
    }

private:
    Reference& m_reference;
    FloatExp m_reach;
    const std::atomic<bool>* m_cancel;
    std::once_flag m_made;
    BlaTable<DoubleDouble> m_runs;
};

template <class T>
struct Job {
    const ReferenceOrbit* orbit;
    const BlaTable<T>* bla;
    // The first count's runs: in doubles where they suffice, else as the deltas.
    const BlaTable<double>* doubleBla;
    const BlaTable<T>* fastBla;
    // The pixels' offsets from the reference.
    const T* columns;
    const T* rows;
    // Where the careful pass may hand pixels on to double-doubles, their runs and the offsets; else null.
    PreciseRuns* preciseRuns;
    const DoubleDouble* preciseColumns;
    const DoubleDouble* preciseRows;
    // The last word on the pixels the careful pass (and double-doubles) are unsure of.
    const PreciseCount* ownPointCount;
    const std::atomic<bool>* cancel;
    std::int32_t width;
    std::int32_t height;
    std::int32_t limit;
    std::int32_t* out;
};

// The careful pass, and where it may be wrong, the count in double-doubles
// where doubles reach, and where that may be wrong too, from the pixel's own
// point in fixed point.
template <class T>
std::int32_t CountCarefully(const Job<T>& job, std::int32_t column, std::int32_t row)
{
    if constexpr (std::is_same_v<T, long double>) {
        using Perturbation::CountIfLikely;
        const ReferenceOrbit& orbit = *job.orbit;
        const long double dcr = job.columns[column];
        const long double dci = job.rows[row];
        const std::int32_t count = job.preciseColumns ? CountIfLikely<double>(orbit, *job.bla, dcr, dci, job.limit)
                                                      : CountIfLikely<long double>(orbit, *job.bla, dcr, dci, job.limit);
        if (count != Perturbation::kUnsure)
            return count;
        // Double-doubles where doubles reach the deltas; past them, straight to fixed point.
        if (job.preciseColumns) {
            const DoubleDouble ddr = job.preciseColumns[column];
            const DoubleDouble ddi = job.preciseRows[row];
            const BlaTable<DoubleDouble>& runs = job.preciseRuns->Get();
            const std::int32_t precise = Perturbation::CountInDoubleDoubles(orbit, &runs, ddr, ddi, job.limit);
            if (precise != Perturbation::kUnsure)
                return precise;
            const std::int32_t plain = Perturbation::CountInDoubleDoubles(orbit, nullptr, ddr, ddi, job.limit);
            if (plain != Perturbation::kUnsure)
                return plain;
        }
        return job.ownPointCount->Count(column, row, job.cancel);
    }
    return Perturbation::Count(*job.orbit, *job.bla, job.columns[column], job.rows[row], job.limit);
}

template <class T>
void FillColumn(const Job<T>& job, std::int32_t column)
{
    const T dcr = job.columns[column];
    std::int32_t* out = job.out + static_cast<std::int64_t>(column) * job.height;
    // Where the first pass fails (near minibrots, where the pixels' orbits
    // pass near 0 and magnify their errors) its neighbours are likely to
    // fail too: it is tried again a few rows on, further each time it fails
    // again. Per column, so that the picture does not depend on the threads.
    std::int32_t nextTry = 0;
    std::int32_t skip = kRetryRows;
    for (std::int32_t row = 0; row < job.height; ++row) {
        const T dci = job.rows[row];
        std::int32_t count = Perturbation::kUnsure;
        if constexpr (std::is_same_v<T, long double>) {
            if (row >= nextTry) {
                count = job.doubleBla ? Perturbation::CountIfSure(*job.orbit, *job.doubleBla, static_cast<double>(dcr),
                                                                  static_cast<double>(dci), job.limit)
                                      : Perturbation::CountIfSure(*job.orbit, *job.fastBla, dcr, dci, job.limit);
                const bool failed = count == Perturbation::kUnsure;
                nextTry = failed ? row + skip : row + 1;
                skip = failed ? std::min(2 * skip, job.height) : kRetryRows;
            }
        }
        if (count == Perturbation::kUnsure)
            count = CountCarefully(job, column, row);
        out[row] = count;
    }
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

// The farthest pixel from the centre, rounded up.
FloatExp ReachOf(const DeepView& view, FloatExp step) { return step * (0.5 * (view.width + view.height) + 1.0); }


// The reference orbit: the centre's, or when the centre escapes before the
// limit, that of a minibrot's nucleus in or near the view, whose orbit never
// escapes: pixels that outlive the reference would go on as plain long
// double iterations, step by step. False when cancelled.
bool ChooseReference(mpfr_srcptr cx, mpfr_srcptr cy, mpfr_prec_t precision, const DeepView& view, FloatExp step,
                     Reference& reference, const std::atomic<bool>* cancel)
{
    mpfr_set(reference.pointX, cx, MPFR_RNDN);
    mpfr_set(reference.pointY, cy, MPFR_RNDN);
    mpfr_set_zero(reference.exactShiftX, 1);
    mpfr_set_zero(reference.exactShiftY, 1);
    if (!reference.orbit.Compute(cx, cy, precision, view.limit, cancel))
        return false;
    if (reference.orbit.Last() >= view.limit)
        return true;
    const FloatExp reach = ReachOf(view, step);
    const std::int32_t period = NucleusSearch::BallPeriod(reference.orbit, reach);
    if (period <= 0)
        return true;
    Mpfr nx(precision), ny(precision);
    mpfr_set(nx, cx, MPFR_RNDN);
    mpfr_set(ny, cy, MPFR_RNDN);
    if (!NucleusSearch::Newton(nx, ny, period, step * 0x1p-20, cancel))
        return !Cancelled(cancel);
    Mpfr dx(precision), dy(precision);
    mpfr_sub(dx, cx, nx, MPFR_RNDN);
    mpfr_sub(dy, cy, ny, MPFR_RNDN);
    const FloatExp shiftX = ToFloatExp(dx);
    const FloatExp shiftY = ToFloatExp(dy);
    // A nucleus a little outside the view still outlasts the centre; far
    // outside, the deltas would lose the pixels' last digits.
    const FloatExp farthest = reach * kFarthestNucleus;
    if (farthest * farthest < shiftX * shiftX + shiftY * shiftY)
        return true;
    if (!reference.orbit.Compute(nx, ny, precision, period, cancel))
        return false;
    mpfr_set(reference.pointX, nx, MPFR_RNDN);
    mpfr_set(reference.pointY, ny, MPFR_RNDN);
    mpfr_set(reference.exactShiftX, dx, MPFR_RNDN);
    mpfr_set(reference.exactShiftY, dy, MPFR_RNDN);
    reference.shiftX = shiftX;
    reference.shiftY = shiftY;
    return true;
}

template <class T>
bool Fill(WorkerPool& pool, Reference& reference, mpfr_srcptr exactStep, const DeepView& view, std::int32_t* out,
          const DeepCalculator::Progress& progress, const std::atomic<bool>* cancel)
{
    const FloatExp step = ToFloatExp(exactStep);
    BlaTable<T> bla, fastBla;
    BlaTable<double> doubleBla;
    // |dc| is at most the reach from the centre plus |shiftX| + |shiftY|.
    const FloatExp shift = FloatExp(std::fabs(reference.shiftX.m), reference.shiftX.e) +
                           FloatExp(std::fabs(reference.shiftY.m), reference.shiftY.e);
    const FloatExp reach = ReachOf(view, step) + shift;
    bla.Build(reference.orbit, reach, Perturbation::kCarefulEpsilon);
    const bool inDoubles = std::is_same_v<T, long double> && InDoubles(step);
    if (inDoubles) {
        reference.orbit.KeepDoubles();
        doubleBla.Build(reference.orbit, reach, Perturbation::kFirstPassEpsilon);
    } else if constexpr (std::is_same_v<T, long double>) {
        fastBla.Build(reference.orbit, reach, Perturbation::kFirstPassEpsilon);
    }
    const std::vector<T> columns = OffsetsOf<T>(exactStep, reference.exactShiftX, view.width);
    const std::vector<T> rows = OffsetsOf<T>(exactStep, reference.exactShiftY, view.height);
    std::vector<DoubleDouble> preciseColumns, preciseRows;
    PreciseRuns preciseRuns(reference, reach, cancel);
    const PreciseCount ownPointCount(view, mpfr_get_prec(reference.pointX));
    if (inDoubles) {
        preciseColumns = OffsetsOf<DoubleDouble>(exactStep, reference.exactShiftX, view.width);
        preciseRows = OffsetsOf<DoubleDouble>(exactStep, reference.exactShiftY, view.height);
    }
    const Job<T> job {&reference.orbit,
                      &bla,
                      inDoubles ? &doubleBla : nullptr,
                      &fastBla,
                      columns.data(),
                      rows.data(),
                      &preciseRuns,
                      inDoubles ? preciseColumns.data() : nullptr,
                      inDoubles ? preciseRows.data() : nullptr,
                      &ownPointCount,
                      cancel,
                      view.width,
                      view.height,
                      view.limit,
                      out};
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
    Mpfr exactStep(kOffsetBits);
    SetPixelStep(exactStep, zoom, view.width);
    const FloatExp step = ToFloatExp(exactStep);
    Reference reference(precision);
    if (!ChooseReference(cx, cy, precision, view, step, reference, cancel))
        return false;
    if (step.e > -kLongDoubleExponentRange && step.e < kLongDoubleExponentRange)
        return Fill<long double>(m_pool, reference, exactStep, view, counts.data(), progress, cancel);
    return Fill<FloatExp>(m_pool, reference, exactStep, view, counts.data(), progress, cancel);
}
