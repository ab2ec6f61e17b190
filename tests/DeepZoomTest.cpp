#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <map>
#include <mpfr.h>

#include "DeepBruteForce.h"
#include "fractal/kernels/ScalarKernel.h"
#include "fractal/deep/DeepCalculator.h"
#include "fractal/deep/DoubleDouble.h"
#include "fractal/deep/FixedPoint.h"
#include "fractal/deep/FloatExp.h"
#include "fractal/deep/InteriorDisc.h"
#include "fractal/deep/Mpfr.h"
#include "fractal/deep/PerturbedCount.h"
#include "fractal/deep/PreciseCount.h"

namespace {
struct Depth {
    const char* name;
    const char* centreX;
    const char* centreY;
    const char* zoom;
    std::int32_t limit;
    std::int32_t width;
    std::int32_t height;
};

// The share of pixels equal to the brute force, with what the others differ by on standard output.
double EqualShare(const Depth& depth)
{
    DeepView view;
    view.centreX = depth.centreX;
    view.centreY = depth.centreY;
    view.zoom = depth.zoom;
    view.limit = depth.limit;
    view.width = depth.width;
    view.height = depth.height;
    EXPECT_EQ(view.Check(), DeepView::Problem::None);
    std::vector<std::int32_t> counts;
    DeepCalculator calculator;
    EXPECT_TRUE(calculator.Compute(view, counts));
    const std::vector<std::int32_t> exact = DeepBruteForce(view).Picture();
    std::size_t equal = 0;
    for (std::size_t i = 0; i < exact.size(); ++i) {
        if (counts[i] == exact[i]) {
            ++equal;
            continue;
        }
        std::printf("  %s: pixel (%zu, %zu) counts %d, exactly %d\n", depth.name, i / view.height, i % view.height,
                    counts[i], exact[i]);
    }
    std::size_t distinct = 0;
    std::map<std::int32_t, int> seen;
    for (const std::int32_t count : exact)
        distinct += seen[count]++ == 0;
    std::printf("%-28s %zu of %zu equal, %zu distinct counts\n", depth.name, equal, exact.size(), distinct);
    return static_cast<double>(equal) / static_cast<double>(exact.size());
}

class DeepAgainstBruteForce : public testing::TestWithParam<Depth> {};

TEST_P(DeepAgainstBruteForce, AtLeast999PerThousandOfThePixelsAreExact)
{
    EXPECT_GE(EqualShare(GetParam()), 0.999);
}

DeepView ViewOf(const char* x, const char* y, const char* zoom, std::int32_t limit, std::int32_t width, std::int32_t height)
{
    DeepView view;
    view.centreX = x;
    view.centreY = y;
    view.zoom = zoom;
    view.limit = limit;
    view.width = width;
    view.height = height;
    return view;
}

TEST(DeepCalculator, AgreesWithTheWindowsKernelWhereDoublesSuffice)
{
    // Sample points formed in doubles from the column and row, not accumulated.
    const DeepView view = ViewOf("-0.743643887037151", "0.13182590420533", "1000", 2000, 64, 36);
    std::vector<std::int32_t> counts;
    DeepCalculator calculator;
    ASSERT_TRUE(calculator.Compute(view, counts));
    const double s = 3.6 / (1000.0 * 64);
    std::size_t equal = 0;
    for (std::int32_t c = 0; c < 64; ++c)
        for (std::int32_t r = 0; r < 36; ++r)
            equal += counts[c * 36 + r] ==
                     ScalarKernel::Count(-0.743643887037151 + (c - 32) * s, -0.13182590420533 + (r - 18) * s, 2000);
    EXPECT_GE(equal, counts.size() * 999 / 1000);
}

TEST(DeepCalculator, InsideAMinibrotEveryPixelReachesTheLimit)
{
    // Around the nucleus of a period-998 minibrot of about 1e-15, a hundredth of its size.
    const DeepView view = ViewOf(
        "-0.74364388703715887077806454349364257504760996232125506021388744740332244044484948043069279957377852556654876",
        "0.13182590420531229282109735487476726526298859967904297493747635123907031431697178661719906314284106914519469",
        "1e17", 1'000'000, 16, 9);
    std::vector<std::int32_t> counts;
    DeepCalculator calculator;
    ASSERT_TRUE(calculator.Compute(view, counts));
    EXPECT_EQ(counts, std::vector<std::int32_t>(16 * 9, 1'000'000));
}

TEST(DeepCalculator, ALimitOfOneCountsOneEverywhere)
{
    std::vector<std::int32_t> counts;
    DeepCalculator calculator;
    ASSERT_TRUE(calculator.Compute(ViewOf("-0.5", "0", "1e40", 1, 7, 5), counts));
    EXPECT_EQ(counts, std::vector<std::int32_t>(35, 1));
}

TEST(DeepCalculator, ThePlaneEdgesAndTheRealAxisKeepTheWindowsCounts)
{
    // Columns of a 4x3 view at zoom 1 sample x = -2.3, -1.4, -0.5, 0.4.
    std::vector<std::int32_t> counts;
    DeepCalculator calculator;
    ASSERT_TRUE(calculator.Compute(ViewOf("-0.5", "0", "1", 50, 4, 3), counts));
    EXPECT_EQ(counts, (std::vector<std::int32_t> {1, 1, 1, 2, 4, 4, 2, 50, 50, 2, 7, 7}));
}

TEST(DeepCalculator, ReportsColumnsInOrderOnTheCallingThreadUpToTheWidth)
{
    std::vector<std::int32_t> reported;
    std::vector<std::int32_t> counts;
    DeepCalculator calculator;
    const auto caller = std::this_thread::get_id();
    bool elsewhere = false;
    ASSERT_TRUE(calculator.Compute(ViewOf("0", "1", "1e20", 500, 40, 10), counts, [&](std::int32_t done) {
        elsewhere = elsewhere || std::this_thread::get_id() != caller;
        reported.push_back(done);
    }));
    EXPECT_FALSE(elsewhere);
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.back(), 40);
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
}

TEST(DeepCalculator, ARaisedCancelFlagStopsTheCompute)
{
    std::atomic<bool> cancel {true};
    std::vector<std::int32_t> counts;
    DeepCalculator calculator;
    EXPECT_FALSE(calculator.Compute(ViewOf("0", "1", "1e20", 500, 40, 10), counts, {}, &cancel));
    // Raised from another thread while a long compute runs: inside a minibrot every pixel runs to the limit.
    cancel = false;
    const DeepView inside = ViewOf(
        "-0.74364388703715887077806454349364257504760996232125506021388744740332244044484948043069279957377852556654876",
        "0.13182590420531229282109735487476726526298859967904297493747635123907031431697178661719906314284106914519469",
        "1e17", 10'000'000, 64, 36);
    std::thread raiser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel = true;
    });
    EXPECT_FALSE(calculator.Compute(inside, counts, {}, &cancel));
    raiser.join();
}

struct FirstPassCase {
    const char* name;
    const char* centreX;
    const char* centreY;
    long double zoom;
    std::int32_t limit;
    // The share of pixels the first pass must answer for.
    double leastAnswered;
};

// How many pixels of a 24x14 view the first pass with deltas in T answers;
// where it answers, it must count as the careful pass does.
template <class T>
int AnsweredAsCarefully(const FirstPassCase& c, ReferenceOrbit& orbit)
{
    constexpr std::int32_t kWidth = 24, kHeight = 14;
    const long double step = 3.6L / (c.zoom * kWidth);
    const FloatExp reach(static_cast<double>(step * kWidth));
    BlaTable<long double> careful;
    BlaTable<T> fast;
    careful.Build(orbit, reach, Perturbation::kCarefulEpsilon);
    fast.Build(orbit, reach, Perturbation::kFirstPassEpsilon);
    orbit.KeepDoubles();
    int answered = 0;
    for (std::int32_t col = 0; col < kWidth; ++col)
        for (std::int32_t row = 0; row < kHeight; ++row) {
            const long double dcr = (col - kWidth / 2) * step, dci = (row - kHeight / 2) * step;
            const std::int32_t first =
                Perturbation::CountIfSure(orbit, fast, static_cast<T>(dcr), static_cast<T>(dci), c.limit);
            if (first == Perturbation::kUnsure)
                continue;
            ++answered;
            EXPECT_EQ(first, Perturbation::Count(orbit, careful, dcr, dci, c.limit)) << c.name << " " << col << " " << row;
        }
    return answered;
}

// The first pass takes far longer runs and bounds its error, in long
// doubles or in doubles; where it answers, it must count as the careful pass does.
TEST(PerturbedCount, TheFirstPassAnswersOnlyWhatTheCarefulPassCounts)
{
    const FirstPassCase cases[] = {
        // Every pixel at the limit, on runs of thousands of steps.
        {"minibrot_1e30", "-0.7436438870371617729360698276017675750476099623212550602",
         "0.1318259042053173219693421224828922652629885996790429749", 1e30L, 20000, 1.0},
        {"spiral_i_1e30", "0.00007429826141817681419926237", "1.000029355068241471193182044914375", 1e30L, 543, 0.9},
        // Orbits that pass near 0 and restart: errors magnified, few answers.
        {"minibrot_nucleus_1e14",
         "-0.74364388703715887077806454349364257504760996232125506021388744740332244044484948043069279957377852556654876",
         "0.13182590420531229282109735487476726526298859967904297493747635123907031431697178661719906314284106914519469",
         1e14L, 6000, 0.0},
    };
    constexpr int kPixels = 24 * 14;
    for (const FirstPassCase& c : cases) {
        Mpfr cx(400), cy(400);
        mpfr_set_str(cx, c.centreX, 10, MPFR_RNDN);
        mpfr_set_str(cy, c.centreY, 10, MPFR_RNDN);
        mpfr_neg(cy, cy, MPFR_RNDN);
        ReferenceOrbit orbit;
        ASSERT_TRUE(orbit.Compute(cx, cy, 400, c.limit, nullptr));
        const int inLongDoubles = AnsweredAsCarefully<long double>(c, orbit);
        const int inDoubles = AnsweredAsCarefully<double>(c, orbit);
        std::printf("%-24s first pass answered %d (long doubles), %d (doubles) of %d\n", c.name, inLongDoubles,
                    inDoubles, kPixels);
        EXPECT_GE(inLongDoubles, c.leastAnswered * kPixels) << c.name;
        EXPECT_GE(inDoubles, c.leastAnswered * kPixels) << c.name;
    }
}

struct FindCase {
    std::int32_t m;
    long double dzNorm;
    std::int32_t most;
    // 0: no run.
    std::int32_t length;
};

// A spiral near i at 1e50 whose orbit passes near 0 every 126 steps (at 126, 252, ...).
TEST(BlaTable, FromEachPassNearZeroOneRunReachesTheNext)
{
    Mpfr cx(400), cy(400);
    mpfr_set_str(cx, "0.000074298261418176814196945158218908731671921956260851515470866926124395301300862455857274",
                 10, MPFR_RNDN);
    mpfr_set_str(cy, "-1.000029355068241471193182597673727948004617022291438685982871335640406620184339471659416850",
                 10, MPFR_RNDN);
    ReferenceOrbit orbit;
    ASSERT_TRUE(orbit.Compute(cx, cy, 400, 800, nullptr));
    BlaTable<long double> bla;
    bla.Build(orbit, FloatExp(1e-49), Perturbation::kCarefulEpsilon);
    const FindCase cases[] = {
        {127, 1e-100L, 10000, 125},
        {253, 1e-100L, 10000, 125},
        {1, 1e-100L, 10000, 125},
        // Longer than allowed: the aligned run from 127.
        {127, 1e-100L, 124, 2},
        // Too large a delta for any run.
        {127, 1.0L, 10000, 0},
        // The pass itself is a plain step.
        {126, 1e-100L, 10000, 0},
    };
    for (const FindCase& c : cases) {
        std::int32_t length = 0;
        const BlaStep<long double>* run = bla.Find(c.m, c.dzNorm, c.most, length);
        EXPECT_EQ(run ? length : 0, c.length) << c.m << " " << c.most;
    }
}

struct DiscCase {
    const char* name;
    // Restart k is at (1 + amplitude shrink^k) / 100: its moves shrink by `shrink`.
    double amplitude;
    double shrink;
    // How the steps between restarts magnify the disc.
    double growth;
    double error;
    // The restart at which the disc proves the orbit bounded; 0: none of the first 40.
    int proved;
};

TEST(InteriorDisc, ProvesOnlyADiscThatComesBackInsideItself)
{
    const DiscCase cases[] = {
        // Carried from the second move on, the first whose shrink is known.
        {"distances halve", 1e-6, 0.5, 0.5, 0.0, 3},
        {"slowly, a disc of many moves", 1e-6, 0.99, 0.99, 0.0, 3},
        {"points settle but the steps spread the disc", 1e-6, 0.5, 1.0, 0.0, 0},
        {"points move apart", 1e-6, 2.0, 0.5, 0.0, 0},
        {"an error too large for a disc small next to z", 1e-6, 0.5, 0.5, 1e-4, 0},
        // Its disc small next to z from restart 11 on.
        {"moves large next to z at first", 1.0, 0.5, 0.5, 0.0, 12},
    };
    for (const DiscCase& c : cases) {
        InteriorDisc<double> disc;
        int proved = 0;
        for (int k = 0; k < 40 && proved == 0; ++k) {
            if (disc.Restart((1 + c.amplitude * std::pow(c.shrink, k)) / 100, 0.0, c.error, 0.0))
                proved = k;
            else if (disc.Carried())
                disc.Step(c.growth, 0.0, 0.0, 0.0);
        }
        EXPECT_EQ(proved, c.proved) << c.name;
    }
}

struct CheckCase {
    const char* x;
    const char* y;
    const char* zoom;
    std::int32_t limit;
    DeepView::Problem problem;
};

TEST(DeepView, RefusesWhatCannotBeComputed)
{
    using P = DeepView::Problem;
    const CheckCase cases[] = {
        {"-0.5", "0", "1", 50, P::None},
        {"+.5", "-7.", "2.5E+3", 10'000'000, P::None},
        {"-1.2345678901234567890123456789012345678901234567890123456789", "0.1", "1e1000", 1, P::None},
        {"0x1p3", "0", "1", 50, P::CentreNotDecimal},
        {"1,5", "0", "1", 50, P::CentreNotDecimal},
        {"", "0", "1", 50, P::CentreNotDecimal},
        {"0", "nan", "1", 50, P::CentreNotDecimal},
        {"0", "1e", "1", 50, P::CentreNotDecimal},
        {"0", ".", "1", 50, P::CentreNotDecimal},
        {"1e200000", "0", "1", 50, P::CentreOutOfRange},
        {"0", "0", "inf", 50, P::ZoomNotDecimal},
        {"0", "0", "0.000e5", 50, P::ZoomZero},
        {"0", "0", "-0", 50, P::ZoomZero},
        {"0", "0", "-3", 50, P::ZoomNegative},
        {"0", "0", "1e100001", 50, P::ZoomOutOfRange},
        {"0", "0", "1e-100001", 50, P::ZoomOutOfRange},
        // Past MPFR's exponents: read as 0 and as infinite.
        {"0", "0", "1e-323228497", 50, P::ZoomOutOfRange},
        {"1e-400000000", "0", "1", 50, P::CentreOutOfRange},
        {"0", "0", "1e400000000", 50, P::ZoomOutOfRange},
        {"0", "0", "1e100000", 50, P::None},
        {"0", "0", "1", 0, P::BadLimit},
        {"0", "0", "1", 10'000'001, P::BadLimit},
    };
    for (const CheckCase& c : cases)
        EXPECT_EQ(ViewOf(c.x, c.y, c.zoom, c.limit, 4, 3).Check(), c.problem) << c.x << " " << c.y << " " << c.zoom;
    EXPECT_EQ(ViewOf("0", "0", "1", 50, 0, 3).Check(), DeepView::Problem::BadSize);
}

// a - b relative to b, with a and b in MPFR.
double RelativeGap(mpfr_srcptr a, mpfr_srcptr b)
{
    Mpfr gap(300);
    mpfr_sub(gap, a, b, MPFR_RNDN);
    mpfr_div(gap, gap, b, MPFR_RNDN);
    return std::fabs(mpfr_get_d(gap, MPFR_RNDN));
}

void SetDoubleDouble(mpfr_ptr target, DoubleDouble value)
{
    mpfr_set_d(target, value.hi, MPFR_RNDN);
    mpfr_add_d(target, target, value.lo, MPFR_RNDN);
}

struct DoubleDoubleCase {
    DoubleDouble a;
    DoubleDouble b;
};

// Sums and products to about 2^-104, as MPFR computes them at 300 bits:
// operands far apart, cancelling, of every sign, with parts that carry.
TEST(DoubleDouble, SumsAndProductsKeepAbout104Bits)
{
    const DoubleDoubleCase cases[] = {
        {{1.0, 0x1p-60}, {1.0, -0x1p-70}},
        {{0x1.fffffffffffffp0, 0x1.fffffffffffffp-54}, {0x1.0000000000001p0, 0x1p-80}},
        {{-3.0, 1e-17}, {1e-30, -1e-47}},
        {{1e-50, 3e-67}, {-0.7, 2e-17}},
        {{134217729.0, 0.0}, {134217727.0, 0.0}},
        {{-0.1, -5.551115123125783e-18}, {0.3, 1.6653345369377348e-17}},
    };
    Mpfr a(300), b(300), exact(300), got(300);
    for (const DoubleDoubleCase& c : cases) {
        SetDoubleDouble(a, c.a);
        SetDoubleDouble(b, c.b);
        mpfr_mul(exact, a, b, MPFR_RNDN);
        SetDoubleDouble(got, c.a * c.b);
        EXPECT_LT(RelativeGap(got, exact), 0x1p-103) << c.a.hi << " * " << c.b.hi;
        mpfr_add(exact, a, b, MPFR_RNDN);
        SetDoubleDouble(got, c.a + c.b);
        // A sum that cancels keeps its parts' rounding, relative to the larger one.
        const double larger = std::max(std::fabs(c.a.hi), std::fabs(c.b.hi));
        EXPECT_LT(RelativeGap(got, exact) * std::fabs(mpfr_get_d(exact, MPFR_RNDN)), 0x1p-103 * larger)
            << c.a.hi << " + " << c.b.hi;
    }
    EXPECT_TRUE(Exceeds({4.0, 0x1p-100}, 4.0));
    EXPECT_FALSE(Exceeds({4.0, -0x1p-100}, 4.0));
    EXPECT_FALSE(Exceeds({4.0, 0.0}, 4.0));
}

struct EstimateCase {
    const char* name;
    // Each step adds `made` (squared), magnifies by sqrt(widening) and comes to |z|^2 = zNorm.
    double made;
    double widening;
    double zNorm;
    // Whether each step ends in a restart, where the estimate is held against |z|.
    bool restarts;
    int steps;
    // The step at which the estimate gives up; 0: none.
    int doubtful;
};

TEST(ErrorEstimate, GivesUpNearAnEscapeTestOrWhenTheErrorNearsZ)
{
    const EstimateCase cases[] = {
        {"tiny errors far from 4", 1e-40, 1.0, 1.0, true, 100, 0},
        // 4 |z|^2 e^2 against 2^-12 (|z|^2 - 4)^2: e^2 = 1e-12 gives up within 2.6e-4 of 4.
        {"an error of 1e-6 at |z|^2 = 4.001", 1e-12, 1.0, 4.001, false, 3, 0},
        {"an error of 1e-6 at |z|^2 = 4.0001", 1e-12, 1.0, 4.0001, false, 3, 1},
        {"far below 4, the same error is clear", 1e-12, 1.0, 1.9999, true, 3, 0},
        // Doubled each step from the first, e^2 = 1e-40 * 4^(n-1) passes 2^-20 |z|^2 at n = 58 for |z|^2 = 1.
        {"growing until it nears z at a restart", 1e-40, 4.0, 1.0, true, 70, 58},
        {"growing below |z|^2 = 2 with no restart", 1e-40, 4.0, 1.0, false, 70, 0},
        // and at n = 59 for |z|^2 = 3, before it nears the escape test.
        {"growing near an escape test", 1e-40, 4.0, 3.0, false, 70, 59},
    };
    for (const EstimateCase& c : cases) {
        Perturbation::ErrorEstimate estimate;
        int doubtful = 0;
        for (int step = 1; step <= c.steps && doubtful == 0; ++step)
            if (!estimate.Step(c.widening, step == 1 ? c.made : 0.0, c.zNorm, c.zNorm - 4.0) ||
                (c.restarts && !estimate.Close()))
                doubtful = step;
        EXPECT_EQ(doubtful, c.doubtful) << c.name;
    }
}

// a b + c + d (d = 0, then 8, which shows the sum's sign), by Add and by
// Subtract of -c, less 4 in magnitude, against MPFR: every branch of the
// signs, and the difference kept where |a b + c| is within 1e-31 of 4 (the
// escape test of the count in fixed point).
TEST(FixedPoint, KeepsSignsAndTheDistanceTo4)
{
    const char* cases[][3] = {
        {"1.5", "-2", "-1.0000000000000000000000000000001"}, {"-1.5", "-2", "0.9999999999999999999999999999999"},
        {"2", "2", "0"}, {"-0.5", "0.25", "4.125"}, {"0.3", "0.7", "-4.21"}, {"-0.3", "0.7", "4.21"},
        {"0.5", "0.5", "-0.125"}, {"0.5", "0.5", "-0.5"},
    };
    for (const auto& c : cases) {
        for (const char* d : {"0", "8"}) {
            Mpfr a(400), b(400), sum(400), shift(400), expected(400);
            mpfr_set_str(a, c[0], 10, MPFR_RNDN);
            mpfr_set_str(b, c[1], 10, MPFR_RNDN);
            mpfr_set_str(sum, c[2], 10, MPFR_RNDN);
            mpfr_set_str(shift, d, 10, MPFR_RNDN);
            mpfr_fma(expected, a, b, sum, MPFR_RNDN);
            mpfr_add(expected, expected, shift, MPFR_RNDN);
            mpfr_abs(expected, expected, MPFR_RNDN);
            mpfr_sub_ui(expected, expected, 4, MPFR_RNDN);
            const FloatExp want = ToFloatExp(expected);
            const FixedPoint x = FixedPoint::Of(a, 3), y = FixedPoint::Of(b, 3), z = FixedPoint::Of(sum, 3);
            const FixedPoint w = FixedPoint::Of(shift, 3);
            mpfr_neg(sum, sum, MPFR_RNDN);
            const FixedPoint minusZ = FixedPoint::Of(sum, 3);
            FixedPoint product(3), added(3), subtracted(3), shifted(3);
            std::vector<mp_limb_t> scratch(8);
            FixedPoint::Multiply(product, x, y, scratch);
            FixedPoint::Add(added, product, z);
            FixedPoint::Subtract(subtracted, product, minusZ);
            for (const FixedPoint* r : {&added, &subtracted}) {
                FixedPoint::Add(shifted, *r, w);
                const FloatExp got = shifted.MagnitudeLess4();
                EXPECT_EQ(got.e, want.e) << c[0] << " " << c[1] << " " << c[2] << " " << d;
                EXPECT_NEAR(got.m, want.m, 1e-12) << c[0] << " " << c[1] << " " << c[2] << " " << d;
            }
        }
    }
}

TEST(FloatExp, KeepsNumbersPastTheDoublesRange)
{
    const FloatExp tiny(0.75, -5000);
    const FloatExp square = tiny * tiny;
    EXPECT_EQ(square.m, 0.5625);
    EXPECT_EQ(square.e, -10000);
    EXPECT_EQ((tiny + tiny).m, 0.75);
    EXPECT_EQ((tiny + tiny).e, -4999);
    // Far apart, the smaller one is below the larger one's rounding.
    EXPECT_EQ((FloatExp(1.0) + tiny).ToLongDouble(), 1.0L);
    EXPECT_EQ((tiny - tiny).m, 0.0);
    EXPECT_TRUE(square < tiny);
    EXPECT_FALSE(tiny < square);
    EXPECT_EQ(FloatExp(3.0, 20000).ToLongDouble(), HUGE_VALL);
    EXPECT_EQ(FloatExp(0.75, -20000).ToLongDouble(), 0.0L);
    EXPECT_EQ(tiny.ToLongDouble(), std::ldexp(0.75L, -5000));
    EXPECT_EQ(FloatExp(-6.0).ToLongDouble(), -6.0L);
}

const Depth kDepths[] = {
    {"misiurewicz_i_1e15", "0", "1", "1e15", 3000, 32, 18},
    {"misiurewicz_i_1e1000", "0", "1", "1e1000", 3000, 16, 9},
    // Past the long doubles' exponents: the deltas carry an exponent of their own.
    {"misiurewicz_i_1e3000", "0", "1", "1e3000", 8000, 8, 6},
    // The nucleus of a period-998 minibrot: its orbit comes back to 0, every pixel restarts from the reference's start.
    {"minibrot_nucleus_1e14",
     "-0.74364388703715887077806454349364257504760996232125506021388744740332244044484948043069279957377852556654876",
     "0.13182590420531229282109735487476726526298859967904297493747635123907031431697178661719906314284106914519469", "1e14",
     6000, 32, 18},
    {"spiral_i_1e30", "0.00007429826141817681419926237",
     "1.000029355068241471193182044914375", "1e30", 543, 32, 18},
    {"spiral_i_1e60", "0.000074298261418176814199262370329068241426311869425085451074375",
     "1.00002935506824147119318204491414607335737527896057215363294875", "1e60", 1080, 32, 18},
    {"spiral_i_1e300", "0.000074298261418176814199262370329068241426311869425085451074260789489874774943293721978432673227331801582460162062267113120522564124325085224369377835336409424420390988637499831255059147614716699988803403915965793699209551430067443233020313014698930619484153292573869239318671138568638646995375340931875",
     "1.0000293550682414711931820449141460733573752789605721536329486965853903920960793187104573805681590937383005967533921636472165338028577312498925228999661374723238584068351653748874554539093209948817955664602847382352895454600562671596415949256294664800854539823926078352898255511937218221023830164840625", "1e300", 5067, 32, 18},
    {"spiral_i_1e320", "0.0000742982614181768141992623703290682414263118694250854510742607894898747749432937219784326732273318015824601620622671131205225641243250852243693778353364094244203909886374998312550591476147166999888034039159657936992095514300674432330203130146989306194841532925738692393186711385686386469953753409320999603380461982892625",
     "1.00002935506824147119318204491414607335737527896057215363294869658539039209607931871045738056815909373830059675339216364721653380285773124989252289996613747232385840683516537488745545390932099488179556646028473823528954546005626715964159492562946648008545398239260783528982555119372182210238301648406300453966251687103488125", "1e320", 5481, 32, 18},
    {"minibrot_1e30", "-0.7436438870371617729360698276017675750476099623212550602",
     "0.1318259042053173219693421224828922652629885996790429749", "1e30", 43849, 48, 27},
    {"minibrot_1e60", "-0.7436438870371617729360698276016471612436035351342045761825980724033224404448494804307",
     "0.1318259042053173219693421224828911463374487082420464573249932262390703143169717866172", "1e60", 94747, 24, 14},
    // Near i, about minibrots whose orbits pass near 0 every 126 or 138 steps: most steps go
    // through the runs from one pass to the next. A minibrot of period 138 in the view; the
    // seahorse valley of one of period 126, and its elephant valley (a nucleus of period 2016 the reference).
    {"minibrot_138_1e50", "0.000074298261418176814199262861603492801947618262215259333545710604845885187654016135942527",
     "1.000029355068241471193182045292642458078350526796474600074787112790191180494099722392451476", "1e50", 20000, 32, 18},
    {"seahorses_126_1e50", "0.000074298261418176814196945158218908731671921956260851515470866926124395301300862455857274",
     "1.000029355068241471193182597673727948004617022291438685982871335640406620184339471659416850", "1e50", 20000, 32, 18},
    {"elephants_126_1e50", "0.000074298261418176814196945158218908731671921960504064594051089266354823857042243454115344",
     "1.000029355068241471193182597673727948004617022322847802742366962044001585298448937866905151", "1e50", 20000, 32, 18},
};

const Depth& Named(const char* name)
{
    return *std::find_if(std::begin(kDepths), std::end(kDepths),
                         [&](const Depth& depth) { return std::string(depth.name) == name; });
}

struct Pixel {
    std::int32_t column;
    std::int32_t row;
};

struct HardPixels {
    Depth depth;
    std::vector<Pixel> pixels;
};

// Valleys at 1e50 whose pixels wander long before they escape: their counts
// are decided by structure finer than 1e-13 of a pixel step, and these came
// out wrong when the pixels' offsets were rounded to doubles or the deltas
// counted in long doubles alone (random samples against the brute force).
TEST(DeepCalculator, PixelsDecidedFinerThanLongDoublesSeeAreExact)
{
    const HardPixels cases[] = {
        {{"elephants_126_1e50_at_100000", Named("elephants_126_1e50").centreX, Named("elephants_126_1e50").centreY,
          "1e50", 100'000, 384, 216},
         {{48, 194},  {94, 189},  {116, 200}, {138, 203}, {144, 195}, {146, 137}, {150, 187},
          {185, 183}, {187, 43},  {208, 27},  {236, 198}, {250, 22},  {251, 62},  {253, 19},
          {270, 148}, {271, 193}, {275, 30},  {289, 147}, {291, 182}, {321, 119}, {322, 47},
          {329, 147}, {347, 140}, {353, 33},  {369, 45},  {373, 44},  {379, 99},  {382, 122}}},
        {{"seahorses_126_1e50_at_100000", Named("seahorses_126_1e50").centreX, Named("seahorses_126_1e50").centreY,
          "1e50", 100'000, 384, 216},
         {{156, 1}, {158, 30}, {173, 94}, {243, 129}, {256, 210}, {277, 188}, {344, 13}}},
    };
    for (const HardPixels& c : cases) {
        const DeepView view = ViewOf(c.depth.centreX, c.depth.centreY, c.depth.zoom, c.depth.limit, c.depth.width,
                                     c.depth.height);
        std::vector<std::int32_t> counts;
        DeepCalculator calculator;
        ASSERT_TRUE(calculator.Compute(view, counts));
        const DeepBruteForce exact(view);
        for (const Pixel& p : c.pixels)
            EXPECT_EQ(counts[std::size_t(p.column) * view.height + p.row], exact.Count(p.column, p.row))
                << c.depth.name << " (" << p.column << ", " << p.row << ")";
    }
}

// Beside a minibrot of period 251, where orbits wander thousands of steps.
const Depth kValley251 = {"valley_251_3e12",
                          "0.3121563951056506783239982726132547871131337406554533622938255688207005182915086564636865706",
                          "-0.4230733682323077652840205889879969062376978214826693934894387250560476192637012717516249288",
                          "3.415e12", 20000, 32, 18};

// Whole views where a count is hardest to get right:
// - orbits that run along the escape circle: the needle's (-2 -> 2 -> 2 ...)
//   and those of the minibrots on it, which pass within 1e-7 to 1e-90 of the
//   circle. Their tests went by the rounding of Z, or were skipped inside runs;
// - orbits that wander thousands of steps in a valley beside a minibrot,
//   their roundings grown past what double-doubles hold, or past 1e88 what
//   long doubles hold (3 to 8 % of these pixels were wrong, unflagged).
TEST(DeepCalculator, HardViewsAreExactEverywhere)
{
    struct Case {
        Depth depth;
        // The brute force's bits; 0: its own choice.
        mpfr_prec_t bits;
    };
    const Case cases[] = {
        // Column 16 samples x = -2 exactly: there y^2 alone decides, 1e-200.
        {{"needle_1e100", "-2", "0", "1e100", 2000, 32, 18}, 1100},
        {{"needle_minibrot_12_4e12", "-1.999999117587260825033350728580647136086", "0", "4.278e12", 200, 32, 18}, 0},
        {{"needle_minibrot_78_1e92",
          "-1.9999999999999999999999999999999999999999999998379266231553909279055969194091569945436093891905304180808170340731091401452085783854287361965903989686042813975",
          "0", "1.409e92", 2000, 32, 18},
         0},
        {kValley251, 0},
        // Off the needle at 1e94, past the double-doubles' reach.
        {{"needle_valley_78_1e94",
          "-1.99999999999999999999999999999999999999999999983792662315539092790559691940915699454360938918286540743",
          "1.2775e-93", "1.409e94", 20000, 32, 18},
         0},
        {{"valley_1360_1e18",
          "-0.650141649395890557706525926970494066233679098718129127492981653064868500914251906207461596706358520301",
          "-0.352425212388862562694782848730401622556914082427934590410290653465575685662146203433618804690680064558",
          "1.22e18", 20000, 32, 18},
         0},
    };
    for (const Case& c : cases) {
        const DeepView view =
            ViewOf(c.depth.centreX, c.depth.centreY, c.depth.zoom, c.depth.limit, c.depth.width, c.depth.height);
        std::vector<std::int32_t> counts;
        DeepCalculator calculator;
        ASSERT_TRUE(calculator.Compute(view, counts));
        EXPECT_EQ(counts, DeepBruteForce(view, c.bits).Picture()) << c.depth.name;
    }
}

// Started with too few bits, the count in MPFR raises them until its
// estimate holds.
TEST(PreciseCount, RaisesItsPrecisionUntilTheCountHolds)
{
    const DeepView view = ViewOf(kValley251.centreX, kValley251.centreY, kValley251.zoom, kValley251.limit,
                                 kValley251.width, kValley251.height);
    const PreciseCount precise(view, 12);
    const DeepBruteForce exact(view);
    for (std::int32_t column = 0; column < view.width; ++column)
        for (std::int32_t row = 0; row < view.height; ++row)
            EXPECT_EQ(precise.Count(column, row, nullptr), exact.Count(column, row)) << column << ", " << row;
}

// On the real axis from -2 to 1/4 an orbit stays bounded for ever, which no
// precision proves near -2 (its roundings grow by a bit a step); the points
// past either end, and beside the axis, are counted.
TEST(PreciseCount, KnowsTheRealAxisFromMinusTwoToAQuarter)
{
    for (const char* centre : {"-2", "0.25"}) {
        const DeepView view = ViewOf(centre, "0", "1e4", 5000, 8, 4);
        const PreciseCount precise(view, 64);
        const DeepBruteForce exact(view);
        for (std::int32_t column = 0; column < view.width; ++column)
            for (std::int32_t row = 0; row < view.height; ++row)
                EXPECT_EQ(precise.Count(column, row, nullptr), exact.Count(column, row))
                    << centre << " (" << column << ", " << row << ")";
    }
}

// Z(m) with its rest is the MPFR orbit's value to about 117 bits.
TEST(ReferenceOrbit, RestsKeepWhatTheLongDoublesLeaveOut)
{
    Mpfr cx(400), cy(400), x(400), y(400), t(400), got(400);
    mpfr_set_str(cx, Named("spiral_i_1e60").centreX, 10, MPFR_RNDN);
    mpfr_set_str(cy, Named("spiral_i_1e60").centreY, 10, MPFR_RNDN);
    ReferenceOrbit orbit;
    ASSERT_TRUE(orbit.Compute(cx, cy, 400, 300, nullptr));
    EXPECT_TRUE(orbit.reRest.empty());
    orbit.ComputeRests(cx, cy, 400, nullptr);
    ASSERT_EQ(orbit.reRest.size(), orbit.re.size());
    ASSERT_EQ(orbit.imRest.size(), orbit.im.size());
    mpfr_set_zero(x, 1);
    mpfr_set_zero(y, 1);
    for (std::int32_t m = 1; m <= orbit.Last(); ++m) {
        mpfr_mul(t, x, y, MPFR_RNDN);
        mpfr_sqr(x, x, MPFR_RNDN);
        mpfr_fms(x, y, y, x, MPFR_RNDN);
        mpfr_neg(x, x, MPFR_RNDN);
        mpfr_add(x, x, cx, MPFR_RNDN);
        mpfr_mul_2ui(t, t, 1, MPFR_RNDN);
        mpfr_add(y, t, cy, MPFR_RNDN);
        SetDoubleDouble(got, orbit.PreciseRe(m));
        EXPECT_LT(RelativeGap(got, x), 0x1p-104) << m;
        SetDoubleDouble(got, orbit.PreciseIm(m));
        EXPECT_LT(RelativeGap(got, y), 0x1p-104) << m;
    }
    // Cancelled, the rests still cover the orbit.
    const std::atomic<bool> cancel {true};
    orbit.ComputeRests(cx, cy, 400, &cancel);
    EXPECT_EQ(orbit.reRest.size(), orbit.re.size());
}

INSTANTIATE_TEST_SUITE_P(Depths, DeepAgainstBruteForce, testing::ValuesIn(kDepths),
                         [](const testing::TestParamInfo<Depth>& info) { return info.param.name; });
} // namespace
