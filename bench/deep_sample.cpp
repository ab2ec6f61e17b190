// Checks a deep picture against MPFR brute force on random pixels: the
// picture is computed whole by the deep calculator, then N distinct pixels
// drawn at random are iterated one by one in MPFR, on every core.
//
//     nivo_deep_sample X Y ZOOM LIMIT WxH SAMPLES [SEED] [BITS]
//
// prints each pixel that differs, by how much, and the share that differ.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "fractal/deep/DeepCalculator.h"
#include "tests/DeepBruteForce.h"

namespace {
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Pixel {
    std::int32_t c;
    std::int32_t r;
};

std::vector<Pixel> DrawPixels(const DeepView& view, std::size_t samples, std::uint64_t seed)
{
    const std::int64_t all = std::int64_t(view.width) * view.height;
    samples = std::min<std::size_t>(samples, static_cast<std::size_t>(all));
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<std::int64_t> pick(0, all - 1);
    std::set<std::int64_t> drawn;
    while (drawn.size() < samples)
        drawn.insert(pick(random));
    std::vector<Pixel> pixels;
    for (const std::int64_t i : drawn)
        pixels.push_back({static_cast<std::int32_t>(i / view.height), static_cast<std::int32_t>(i % view.height)});
    return pixels;
}

std::vector<std::int32_t> CountExactly(const DeepBruteForce& brute, const std::vector<Pixel>& pixels)
{
    std::vector<std::int32_t> exact(pixels.size());
    std::atomic<std::size_t> next {0};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < std::max(1u, std::thread::hardware_concurrency()); ++t)
        threads.emplace_back([&] {
            for (std::size_t i = next++; i < pixels.size(); i = next++)
                exact[i] = brute.Count(pixels[i].c, pixels[i].r);
        });
    for (std::thread& thread : threads)
        thread.join();
    return exact;
}

bool ParseSize(const char* text, DeepView& view) { return std::sscanf(text, "%dx%d", &view.width, &view.height) == 2; }
} // namespace

int main(int argc, char** argv)
{
    if (argc < 7) {
        std::fprintf(stderr, "usage: %s X Y ZOOM LIMIT WxH SAMPLES [SEED] [BITS]\n", argv[0]);
        return 2;
    }
    DeepView view;
    view.centreX = argv[1];
    view.centreY = argv[2];
    view.zoom = argv[3];
    view.limit = std::atoi(argv[4]);
    const std::size_t samples = std::strtoull(argv[6], nullptr, 10);
    const std::uint64_t seed = argc > 7 ? std::strtoull(argv[7], nullptr, 10) : 1;
    const mpfr_prec_t bits = argc > 8 ? std::atol(argv[8]) : 0;
    if (!ParseSize(argv[5], view) || view.Check() != DeepView::Problem::None) {
        std::fprintf(stderr, "bad view\n");
        return 2;
    }
    Clock::time_point start = Clock::now();
    std::vector<std::int32_t> counts;
    DeepCalculator calculator;
    calculator.Compute(view, counts);
    const double computed = SecondsSince(start);
    const std::vector<Pixel> pixels = DrawPixels(view, samples, seed);
    const DeepBruteForce brute(view, bits);
    start = Clock::now();
    const std::vector<std::int32_t> exact = CountExactly(brute, pixels);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::int32_t deep = counts[std::size_t(pixels[i].c) * view.height + pixels[i].r];
        if (deep == exact[i])
            continue;
        ++wrong;
        std::printf("  pixel (%d, %d): %d, exactly %d (%+d)\n", pixels[i].c, pixels[i].r, deep, exact[i],
                    deep - exact[i]);
    }
    std::printf("%zu of %zu sampled pixels wrong (%.2f %%); deep %.2f s, brute force %.1f s at %ld bits\n", wrong,
                pixels.size(), 100.0 * wrong / pixels.size(), computed, SecondsSince(start), long(brute.Precision()));
    return 0;
}
