// Times the literal escape-time loop, the calculator and the whole render
// on five scenes, at 1920 x 1080 and at the 3840 x 2160 device size of a 4K
// HiDPI screen (or at the sizes given as WxH arguments), and checks that the
// buffers are identical. --avx2 keeps to the AVX2 kernels where AVX-512 is
// there too; --quick leaves the literal loop out (its columns then read 0).
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "fractal/ComputeSettings.h"
#include "fractal/ReferenceCompute.h"
#include "view/CNivoView.h"

namespace {
struct Scene {
    const char* name;
    double cx, cy, zoom;
    int limit;
};

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
    if (given("--avx2")) {
        ComputeSettings settings = ComputeSettings::Current();
        settings.widest = Kernel::Avx2;
        ComputeSettings::Set(settings);
    }
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
    std::printf("threads: %d%s\n", ComputeSettings::Current().ResolvedThreads(),
                ComputeSettings::Current().widest == Kernel::Avx512 ? "" : ", AVX2 kernels");
    for (const Size& size : Sizes(argc, argv)) {
        const int W = size.width, H = size.height;
        view.ShowWithClientSize(W, H);
        std::printf("\n%d x %d\n\n", W, H);
        std::printf("| scene | literal (s) | Compute (s) | literal/Compute | Render (s) | Render/Compute | ns/iteration (literal) | colouring ns/pixel | identical |\n");
        std::printf("|---|---|---|---|---|---|---|---|---|\n");
        for (const Scene& s : scenes) {
            ReferenceResult reference;
            // The calculator is handed the centre's y negated, as the view does.
            const double literal =
                quick ? 0 : Seconds([&] { reference = ReferenceCompute(W, H, s.limit, s.cx, -s.cy, s.zoom); }, 2);
            view.m_iterations = s.limit;
            view.m_centerX = s.cx;
            view.m_centerY = s.cy;
            view.m_zoom = s.zoom;
            const double compute = Seconds([&] { renderer.Compute(W, H, {s.limit, s.cx, s.cy, s.zoom}, silent); }, 3);
            const bool identical =
                !quick && std::equal(reference.entries.begin(), reference.entries.end(), renderer.Calculator().m_buffer);
            const double render = Seconds([&] { view.Render(); }, 3);
            double iterations = 0;
            for (int count : reference.entries)
                iterations += count;
            if (quick)
                std::printf("| %s | - | %.4f | - | %.4f | %.2f | - | %.1f | - |\n", s.name, compute, render,
                            render / compute, (render - compute) * 1e9 / (double(W) * H));
            else
                std::printf("| %s | %.3f | %.4f | %.1fx | %.4f | %.2f | %.2f | %.1f | %s |\n", s.name, literal, compute,
                            literal / compute, render, render / compute, literal * 1e9 / iterations,
                            (render - compute) * 1e9 / (double(W) * H), identical ? "yes" : "NO");
            std::fflush(stdout);
        }
    }
    return 0;
}
