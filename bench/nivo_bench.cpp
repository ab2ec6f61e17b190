// Times the literal escape-time loop, the calculator and the whole render
// on five scenes, at 1920 x 1080 and at the 3840 x 2160 device size of a 4K
// HiDPI screen (or at the sizes given as WxH arguments), and checks that the
// buffers are identical. --avx2 keeps to the AVX2 kernels where AVX-512 is
// there too; --quick leaves the literal loop out (its columns then read 0);
// --threads N computes on N threads. Render/Compute stands beside its
// floors, what the memory passes after the calculator cost at best on this
// machine, warm and from memory.
// A second table sets the calculator's time per lane-step beside what the
// floating-point pipes allow.
#include <QApplication>
#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fractal/ComputeSettings.h"
#include "fractal/PlaneGeometry.h"
#include "fractal/ReferenceCompute.h"
#include "fractal/SampleGrid.h"
#include "fractal/WorkerPool.h"
#include "fractal/kernels/InteriorRegion.h"
#include "fractal/kernels/ScalarKernel.h"
#include "view/CNivoView.h"

namespace {
double Seconds(const std::function<void()>& run, int times)
{
    double best = 1e30;
    for (int i = 0; i < times; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

double ProcessCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec * 1e-9;
}

double MedianOf(std::vector<double> runs)
{
    std::nth_element(runs.begin(), runs.begin() + runs.size() / 2, runs.end());
    return runs[runs.size() / 2];
}

// Medians of the elapsed time and of the processor time of the whole process:
// on a shared machine the latter leaves out the time other programs took.
struct Timing {
    double elapsed, cpu;
};

// Median wall times of two runs taken in turn, so that both meet the same
// moments of a shared machine.
std::pair<double, double> MediansInTurn(const std::function<void()>& first, const std::function<void()>& second,
                                        int times)
{
    std::vector<double> a, b;
    for (int i = 0; i < times; ++i) {
        a.push_back(Seconds(first, 1));
        b.push_back(Seconds(second, 1));
    }
    return {MedianOf(a), MedianOf(b)};
}

Timing Medians(const std::function<void()>& run, int times)
{
    std::vector<double> elapsed, cpu;
    for (int i = 0; i < times; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ProcessCpuSeconds();
        run();
        cpu.push_back(ProcessCpuSeconds() - cpuStart);
        elapsed.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return {MedianOf(elapsed), MedianOf(cpu)};
}

// Independent chains of multiplies and adds, enough to fill every pipe
// whatever its latency: vector operations per nanosecond on one core. The
// chains are named variables, so that they stay in registers at any
// optimisation level: sixteen among AVX-512's 32 registers, twelve among
// AVX2's 16 (sixteen there spill, and measured half the peak).
constexpr int PeakChains(bool wide) { return wide ? 16 : 12; }

#define NIVO_PEAK_STEP(k) m##k = m##k * factor, a##k = a##k + term

// Inlined into a function compiled for the vector width of `Vector`.
template <typename Vector, bool kWide>
__attribute__((always_inline)) inline double PeakOperationsPerNs()
{
    constexpr long kRounds = 500'000;
    const Vector factor = Vector {} + 0.999999, term = Vector {} + 1e-9;
    double best = 0;
    for (int run = 0; run < 20; ++run) {
        Vector m0 = factor, m1 = factor, m2 = factor, m3 = factor, m4 = factor, m5 = factor, m6 = factor, m7 = factor;
        Vector a0 = factor, a1 = factor, a2 = factor, a3 = factor, a4 = factor, a5 = factor, a6 = factor, a7 = factor;
        const auto start = std::chrono::steady_clock::now();
        for (long i = 0; i < kRounds; ++i) {
            NIVO_PEAK_STEP(0), NIVO_PEAK_STEP(1), NIVO_PEAK_STEP(2), NIVO_PEAK_STEP(3), NIVO_PEAK_STEP(4), NIVO_PEAK_STEP(5);
            // Keeps the loop from being folded.
            __asm__ volatile("" : "+v"(m0), "+v"(m1), "+v"(m2), "+v"(m3), "+v"(m4), "+v"(m5));
            __asm__ volatile("" : "+v"(a0), "+v"(a1), "+v"(a2), "+v"(a3), "+v"(a4), "+v"(a5));
            if constexpr (kWide) {
                NIVO_PEAK_STEP(6), NIVO_PEAK_STEP(7);
                __asm__ volatile("" : "+v"(m6), "+v"(m7), "+v"(a6), "+v"(a7));
            }
        }
        const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
        best = std::max(best, kRounds * PeakChains(kWide) / ns);
    }
    return best;
}

#undef NIVO_PEAK_STEP

using Doubles8 = double __attribute__((vector_size(64)));
using Doubles4 = double __attribute__((vector_size(32)));
__attribute__((target("avx512f"))) double PeakAvx512() { return PeakOperationsPerNs<Doubles8, true>(); }
__attribute__((target("avx2"))) double PeakAvx2() { return PeakOperationsPerNs<Doubles4, false>(); }

// The first processor's `field` in /proc/cpuinfo, empty when it has none.
std::string CpuInfo(const std::string& field)
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);)
        if (line.rfind(field, 0) == 0 && line.find(':') != std::string::npos)
            return line.substr(std::min(line.find(':') + 2, line.size()));
    return {};
}

// The clock the system reports, in GHz (0 when it reports none).
double ReportedGHz() { return std::atof(CpuInfo("cpu MHz").c_str()) / 1000.0; }

// A step of eight lanes is eight floating-point operations: three squares and
// products, the doubling, the sum tested, the difference and the two adds of
// c. At best the pipes take them at their measured peak.
struct StepBound {
    int lanes;
    double nsPerLaneStep;
};

double Peak(bool wide) { return wide ? PeakAvx512() : PeakAvx2(); }

StepBound MeasureStepBound(bool wide)
{
    const int lanes = wide ? 8 : 4;
    const double peak = Peak(wide);
    const double ghz = ReportedGHz();
    std::printf("FP peak: %.2f %d-lane multiplies and adds per ns on one core (%d independent chains, best of 20)",
                peak, lanes, PeakChains(wide));
    if (ghz > 0)
        std::printf(", %.2f a cycle at the %.2f GHz of /proc/cpuinfo", peak / ghz, ghz);
    const StepBound bound {lanes, 8.0 / (lanes * peak)};
    std::printf(";\nbound: 8 operations per %d-lane step = %.4f ns per lane-step\n", lanes, bound.nsPerLaneStep);
    return bound;
}

// A neighbour busy while the peak was measured would flatter every ratio
// (once 6.05 operations per ns instead of 7.39): measured again before each
// table, the bound keeps the best peak seen.
void MeasureAgain(StepBound& bound, bool wide)
{
    bound.nsPerLaneStep = std::min(bound.nsPerLaneStep, 8.0 / (bound.lanes * Peak(wide)));
}

// The least time the passes after the calculator can take here: the bytes
// they move (reading the counts into the section, reading it into the
// window's 32-bit backing store) at the speed this machine copies a block
// of the same size on `threads` threads, warm (best of 21) and from memory
// (blocks far larger than any last-level cache, taken in turn, median of
// 21). Render/Compute cannot go below (Compute + the warm one) / Compute;
// where the render's buffers together outgrow the cache it shares, its
// passes run nearer the second.
struct PassesFloor {
    double warm, fromMemory;
};

PassesFloor MemoryFloorSeconds(int W, int H, int threads)
{
    const auto counts = std::int64_t(4) * W * H, window = counts;
    const std::int64_t section = std::int64_t((3 * W + 3) / 4 * 4) * H;
    constexpr std::int64_t kColdBytes = std::int64_t(192) << 20;
    const std::int64_t blocks = std::max<std::int64_t>(2, kColdBytes / window);
    std::vector<char> from(window * blocks, 1), to(window * blocks, 1);
    WorkerPool pool;
    // One part a thread, taken in turn: a pool thread that cannot start leaves its part to the others.
    const auto copy = [&](std::int64_t block) {
        char* const out = to.data() + block * window;
        const char* const in = from.data() + block * window;
        std::atomic<int> next {0};
        pool.Run(threads, [&](int) {
            for (int part; (part = next++) < threads;) {
                const std::int64_t first = window * part / threads, last = window * (part + 1) / threads;
                std::memcpy(out + first, in + first, last - first);
            }
        });
    };
    const double warm = Seconds([&] { copy(0); }, 21);
    std::vector<double> cold;
    for (int i = 0; i < 21; ++i)
        cold.push_back(Seconds([&] { copy(1 + i % (blocks - 1)); }, 1));
    // A copy moves its bytes twice, read and written.
    const double bytes = double(counts + 2 * section + window) / (2.0 * window);
    return {bytes * warm, bytes * MedianOf(cold)};
}

struct Scene {
    const char* name;
    double cx, cy, zoom;
    int limit;
};

// The steps the literal loop takes on the pixels the kernels iterate: the
// counts of every pixel but those the interior test settles without a step.
// Pixels at the limit count it whole, though cycle detection may stop them
// sooner: their share is told apart.
struct LaneSteps {
    double all = 0;
    double atLimit = 0;
    bool sameGrid = true;
};

// The sample points are the calculator's, built as it builds them.
LaneSteps UsefulLaneSteps(const std::int32_t* counts, std::int32_t W, std::int32_t H, const Scene& s)
{
    const double h1 = PlaneGeometry::PlaneHeightAtZoom1(W, H);
    const double inv = 1.0 / s.zoom;
    const double half = (h1 * 0.5) * inv;
    // The calculator is handed the centre's y negated, as the view does.
    const double cy = -s.cy;
    SampleGrid grid;
    grid.Build(W, H, inv, h1,
               {s.cx - (inv * PlaneGeometry::kHalfWidth), (inv * PlaneGeometry::kHalfWidth) + s.cx, cy - half,
                half + cy});
    LaneSteps steps;
    for (std::int32_t c = 0; c < grid.Columns(); ++c)
        for (std::int32_t r = 0; r < grid.Rows(); ++r)
            if (!InteriorRegion::Contains(grid.Xs()[c], grid.Ys()[r])) {
                const std::int32_t count = counts[std::int64_t(c) * grid.Rows() + r];
                steps.all += count;
                steps.atLimit += count == s.limit ? count : 0;
            }
    // The middle column, counted again, shows the grid is the calculator's.
    const std::int32_t c = grid.Columns() / 2;
    for (std::int32_t r = 0; r < grid.Rows(); ++r)
        steps.sameGrid = steps.sameGrid &&
                         ScalarKernel::Count(grid.Xs()[c], grid.Ys()[r], s.limit) == counts[std::int64_t(c) * grid.Rows() + r];
    return steps;
}

struct Size {
    int width, height;
};

std::vector<Size> Sizes(int argc, char** argv)
{
    std::vector<Size> sizes;
    for (int i = 1; i < argc; ++i) {
        Size size {};
        if (std::sscanf(argv[i], "%dx%d", &size.width, &size.height) == 2 && size.width > 0 && size.height > 0)
            sizes.push_back(size);
    }
    if (sizes.empty())
        sizes = {{1920, 1080}, {3840, 2160}};
    return sizes;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto given = [&](const char* option) {
        return std::find_if(argv + 1, argv + argc, [&](const char* a) { return std::strcmp(a, option) == 0; }) !=
               argv + argc;
    };
    const bool quick = given("--quick");
    ComputeSettings settings = ComputeSettings::Current();
    if (given("--avx2"))
        settings.widest = Kernel::Avx2;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--threads") == 0)
            settings.threads = std::max(1, std::atoi(argv[i + 1]));
    ComputeSettings::Set(settings);
    const Scene scenes[] = {
        {"(a) start view, limit 50", -0.5, 0.0, 1.0, 50},
        {"(b) start view, limit 1000", -0.5, 0.0, 1.0, 1000},
        {"(c) -0.7436447860+0.1318252536i x1000", -0.7436447860, 0.1318252536, 1000.0, 1000},
        {"(d) -0.2+0i x20 (mostly inside)", -0.2, 0.0, 20.0, 1000},
        {"(e) -0.743643887037151+0.131825904205330i x1e5", -0.743643887037151, 0.131825904205330, 1e5, 1000},
    };
    CNivoView view;
    FrameRenderer renderer;
    SilentProgress silent;
    const int threads = ComputeSettings::Current().ResolvedThreads();
    const bool wide = ComputeSettings::Current().widest == Kernel::Avx512 && __builtin_cpu_supports("avx512f");
    std::printf("machine: %s, %u logical processors, %s kernels; threads: %d\n", CpuInfo("model name").c_str(),
                std::thread::hardware_concurrency(), wide ? "AVX-512" : "AVX2", threads);
    StepBound bound = MeasureStepBound(wide);
    for (const Size& size : Sizes(argc, argv)) {
        const int W = size.width, H = size.height;
        view.ShowWithClientSize(W, H);
        const PassesFloor floor = MemoryFloorSeconds(W, H, threads);
        std::printf("\n%d x %d (the passes after the calculator move their bytes in %.2f ms at best, %.2f ms from "
                    "memory)\n\n",
                    W, H, floor.warm * 1e3, floor.fromMemory * 1e3);
        std::printf("| scene | literal (s) | Compute (s) | literal/Compute | Render (s) | Render/Compute | its floor | from memory | ns/iteration (literal) | colouring ns/pixel | identical |\n");
        std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
        for (const Scene& s : scenes) {
            ReferenceResult reference;
            // The calculator is handed the centre's y negated, as the view does.
            const double literal =
                quick ? 0 : Seconds([&] { reference = ReferenceCompute(W, H, s.limit, s.cx, -s.cy, s.zoom); }, 2);
            view.m_iterations = s.limit;
            view.m_centerX = s.cx;
            view.m_centerY = s.cy;
            view.m_zoom = s.zoom;
            const auto [compute, render] = MediansInTurn(
                [&] { renderer.Compute(W, H, {s.limit, s.cx, s.cy, s.zoom}, silent); }, [&] { view.Render(); }, 9);
            const bool identical =
                !quick && std::equal(reference.entries.begin(), reference.entries.end(), renderer.Calculator().m_buffer);
            double iterations = 0;
            for (int count : reference.entries)
                iterations += count;
            const double cold = (compute + floor.fromMemory) / compute;
            if (quick)
                std::printf("| %s | - | %.4f | - | %.4f | %.2f | %.2f | %.2f | - | %.1f | - |\n", s.name, compute, render,
                            render / compute, (compute + floor.warm) / compute, cold,
                            (render - compute) * 1e9 / (double(W) * H));
            else
                std::printf("| %s | %.3f | %.4f | %.1fx | %.4f | %.2f | %.2f | %.2f | %.2f | %.1f | %s |\n", s.name,
                            literal, compute, literal / compute, render, render / compute, (compute + floor.warm) / compute,
                            cold, literal * 1e9 / iterations, (render - compute) * 1e9 / (double(W) * H),
                            identical ? "yes" : "NO");
            std::fflush(stdout);
        }
        MeasureAgain(bound, wide);
        std::printf("\n| %d x %d | Compute median of 11 (ms) | lane-steps (1e9) | of which at the limit | "
                    "ns/lane-step x %d threads | ratio to bound (%.4f ns) | CPU ns/lane-step | ratio to bound |\n"
                    "|---|---|---|---|---|---|---|---|\n",
                    W, H, threads, bound.nsPerLaneStep);
        for (const Scene& s : scenes) {
            const Timing compute =
                Medians([&] { renderer.Compute(W, H, {s.limit, s.cx, s.cy, s.zoom}, silent); }, 11);
            const LaneSteps steps = UsefulLaneSteps(renderer.Calculator().m_buffer, W, H, s);
            const double ns = compute.elapsed * threads * 1e9 / steps.all;
            const double cpuNs = compute.cpu * 1e9 / steps.all;
            if (!steps.sameGrid)
                std::printf("| %s | %.2f | grid differs | - | - | - | - | - |\n", s.name, compute.elapsed * 1e3);
            else if (steps.all == 0)
                std::printf("| %s | %.2f | 0 | - | - | - | - | - |\n", s.name, compute.elapsed * 1e3);
            else
                std::printf("| %s | %.2f | %.3f | %.0f %% | %.4f | %.2fx | %.4f | %.2fx |\n", s.name,
                            compute.elapsed * 1e3, steps.all / 1e9, 100 * steps.atLimit / steps.all, ns,
                            ns / bound.nsPerLaneStep, cpuNs, cpuNs / bound.nsPerLaneStep);
            std::fflush(stdout);
        }
    }
    return 0;
}
