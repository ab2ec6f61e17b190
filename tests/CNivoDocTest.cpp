#include <gtest/gtest.h>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "FakeWindows.h"
#include "ProcessMemory.h"
#include "fractal/CNivoDoc.h"
#include "fractal/ComputeEngine.h"
#include "fractal/ComputeSettings.h"
#include "fractal/SampleGrid.h"
#include "fractal/LiteralEscape.h"

namespace {
std::vector<int> Entries(const CNivoDoc& doc)
{
    return std::vector<int>(doc.m_buffer, doc.m_buffer + doc.BufferSize());
}

struct Calculator : testing::Test {
    ProgressRecorder recorder;
    CNivoDoc doc;

    void Run(LONG w, LONG h, int limit, double cx, double cy, double zoom)
    {
        FakeWindow window(w, h);
        doc.SetWindow(&window);
        doc.Compute(limit, cx, cy, zoom, DialogBars());
        doc.SetWindow(nullptr);
    }
};

TEST(CNivoDocConstruction, ComputesOnTheWindowItWasGivenFromTheFirstCompute)
{
    CNivoDoc plain;
    EXPECT_EQ(plain.m_buffer, nullptr);
    FakeWindow window(4, 3);
    CNivoDoc bound(&window);
    EXPECT_EQ(bound.m_buffer, nullptr);
    bound.Compute(50, -0.5, 0.0, 1.0, DialogBars());
    ASSERT_NE(bound.m_buffer, nullptr);
    EXPECT_EQ(bound.BufferSize(), 12);
}

TEST_F(Calculator, FourByThreeStartViewFillsColumnByColumn)
{
    Run(4, 3, 50, -0.5, -0.0, 1.0);
    EXPECT_EQ(Entries(doc), (std::vector<int> {1, 1, 1, 2, 4, 4, 2, 50, 50, 2, 7, 7}));
    EXPECT_EQ(recorder.log.created, 1);
    EXPECT_EQ(recorder.log.shown, 1);
    EXPECT_EQ(recorder.log.destroyed, 1);
    ASSERT_GE(recorder.log.messages.size(), 2u);
    EXPECT_EQ(recorder.log.messages[0], (BarMessage {PBM_SETRANGE, 0, 100 * 65536}));
    EXPECT_EQ(recorder.log.messages[1], (BarMessage {PBM_SETPOS, 0, 0}));
    EXPECT_EQ(recorder.log.Positions(), (std::vector<int> {0, 12, 25, 37, 50}));
}

TEST_F(Calculator, EveryEntryIsTheCountOfItsAccumulatedSamplePoint)
{
    const int W = 37, H = 23;
    Run(W, H, 200, -0.7, 0.2, 3.0);
    const double inv = 1.0 / 3.0;
    const double h1 = (3.6 / W) * H;
    double x = 0.2 - 0.2 + (-0.7 - inv * 1.8);
    ASSERT_EQ(doc.BufferSize(), W * H);
    for (int c = 0; c < W; ++c) {
        double y = 0.2 - (h1 * 0.5) * inv;
        for (int r = 0; r < H; ++r) {
            ASSERT_EQ(doc.m_buffer[c * H + r], LiteralEscapeCount(x, y, 200)) << c << "," << r;
            y = y + (inv * h1) / H;
        }
        x = ((inv * 3.6) / W) + x;
    }
}

TEST_F(Calculator, LargePictureBarRisesOncePerColumn)
{
    Run(800, 600, 1, -0.5, -0.0, 1.0);
    const std::vector<int> positions = recorder.log.Positions();
    ASSERT_EQ(positions.size(), 801u);
    EXPECT_EQ(positions[1], 0);
    EXPECT_EQ(positions[15], 0);
    EXPECT_EQ(positions[16], 1);
    EXPECT_EQ(positions.back(), 50);
    for (std::size_t i = 1; i < positions.size(); ++i)
        EXPECT_EQ(positions[i], (50 * int(i)) / 800);
}

TEST_F(Calculator, LimitsOneAndZeroFillEveryEntry)
{
    Run(16, 9, 1, -0.5, 0.0, 1.0);
    EXPECT_EQ(Entries(doc), std::vector<int>(16 * 9, 1));
    Run(16, 9, 0, -0.5, 0.0, 1.0);
    EXPECT_EQ(Entries(doc), std::vector<int>(16 * 9, 0));
}

TEST_F(Calculator, ZeroZoomWritesExactlyOneEntry)
{
    Run(8, 6, 50, -0.5, 0.0, 0.0);
    ASSERT_EQ(doc.BufferSize(), 48);
    EXPECT_EQ(doc.m_buffer[0], 1);
    // One position per column visited: the first column is the only one.
    EXPECT_EQ(recorder.log.Positions(), (std::vector<int> {0, 1}));
}

TEST_F(Calculator, NegativeOrNotANumberZoomComputesNothing)
{
    for (double zoom : {-1.0, -2.0, std::numeric_limits<double>::quiet_NaN()}) {
        recorder.log = {};
        Run(8, 6, 50, -0.5, 0.0, zoom);
        EXPECT_EQ(doc.BufferSize(), 48);
        EXPECT_EQ(recorder.log.Positions(), (std::vector<int> {0})) << zoom;
        EXPECT_EQ(recorder.log.destroyed, 1);
    }
}

TEST_F(Calculator, EmptyClientAreasGiveEmptyBuffers)
{
    Run(640, 0, 50, -0.5, 0.0, 1.0);
    EXPECT_EQ(doc.BufferSize(), 0);
    EXPECT_EQ(recorder.log.Positions(), std::vector<int>(641, 0));
    recorder.log = {};
    Run(0, 480, 50, -0.5, 0.0, 1.0);
    EXPECT_EQ(doc.BufferSize(), 0);
    Run(0, 0, 50, -0.5, 0.0, 1.0);
    EXPECT_EQ(doc.BufferSize(), 0);
    EXPECT_EQ(recorder.log.destroyed, 2);
}

TEST_F(Calculator, EachComputeReplacesTheBuffer)
{
    Run(4, 3, 50, -0.5, 0.0, 1.0);
    Run(2, 2, 50, -0.5, 0.0, 1.0);
    EXPECT_EQ(doc.BufferSize(), 4);
}

TEST_F(Calculator, DeepZoomStallsRepeatNeighboursAndEndColumnsEarly)
{
    // A step of 0.6 ulp: every addition jumps a whole ulp, so both coordinates
    // reach their bound before the counters do; columns end early and later
    // entries move up, leaving the tail unwritten.
    const double cx = 1.5, cy = 1.5, zoom = 4503599627370496.0;
    const int W = 6, H = 5;
    Run(W, H, 20, cx, cy, zoom);
    const double inv = 1.0 / zoom;
    const double h1 = (3.6 / W) * H;
    const double half = (h1 * 0.5) * inv;
    const double ymin = cy - half, ymax = half + cy;
    std::vector<double> ys {ymin};
    for (double y = ymin + (inv * h1) / H; y < ymax && ys.size() < std::size_t(H); y = y + (inv * h1) / H)
        ys.push_back(y);
    const double xmin = cx - inv * 1.8, xmax = inv * 1.8 + cx;
    std::vector<double> xs {xmin};
    for (double x = ((inv * 3.6) / W) + xmin; x < xmax && xs.size() < std::size_t(W); x = ((inv * 3.6) / W) + x)
        xs.push_back(x);
    ASSERT_LT(ys.size(), std::size_t(H));
    ASSERT_LT(xs.size(), std::size_t(W));

    std::vector<int> expected;
    for (double x : xs)
        for (double y : ys)
            expected.push_back(LiteralEscapeCount(x, y, 20));
    const std::vector<int> all = Entries(doc);
    EXPECT_EQ(std::vector<int>(all.begin(), all.begin() + expected.size()), expected);
    EXPECT_EQ(recorder.log.Positions().size(), xs.size() + 1);
    EXPECT_EQ(recorder.log.Positions().back(), int((expected.size() * 50.0) / (W * H)));
}

TEST_F(Calculator, CoordinatesThatNoLongerMoveRepeatTheirCount)
{
    // The step is below half an ulp: every column samples
    // the same x, every row the same y, all W x H entries are written.
    Run(4, 3, 30, 1.25, 1.25, 1.08e16);
    EXPECT_EQ(Entries(doc), std::vector<int>(12, LiteralEscapeCount(1.25 - 0x1p-52, 1.25 - 0x1p-52, 30)));
    EXPECT_EQ(recorder.log.Positions(), (std::vector<int> {0, 12, 25, 37, 50}));
}

TEST_F(Calculator, ProgressDialogIsCreatedEvenWhenAllocationIsImpossible)
{
    // 2^31 - 1 by 2^31 - 1 entries cannot be had: no buffer, nothing written, no crash.
    Run(0x7fffffff, 0x7fffffff, 50, -0.5, 0.0, 1.0);
    EXPECT_EQ(doc.m_buffer, nullptr);
    EXPECT_EQ(doc.BufferSize(), 0);
    EXPECT_EQ(recorder.log.destroyed, 1);
}

TEST_F(Calculator, ClientAreasNoPictureCouldShowAreRefusedBeforeAnythingIsReserved)
{
    const std::int64_t peak = PeakAddressSpace();
    ASSERT_GT(peak, 0);
    // 40 GB of counts; 17 GB of counts and as much again of sample coordinates;
    // just more entries than a 2 GiB picture has pixels; a side no window has.
    const std::pair<LONG, LONG> sizes[] = {
        {100000, 100000}, {0x7fffffff, 2}, {2, 0x7fffffff}, {26755, 26755}, {16777216, 1}, {1, 16777216}};
    for (const auto& [w, h] : sizes) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        Run(4, 3, 50, -0.5, 0.0, 1.0);
        Run(w, h, 50, -0.5, 0.0, 1.0);
        EXPECT_EQ(doc.m_buffer, nullptr) << "the buffer of the last picture must go too";
        EXPECT_EQ(doc.BufferSize(), 0);
    }
    EXPECT_LT(PeakAddressSpace() - peak, 256 * kMiB);
    EXPECT_EQ(recorder.log.created, 2 * int(std::size(sizes)));
    EXPECT_EQ(recorder.log.destroyed, 2 * int(std::size(sizes)));
}

TEST(CNivoDocWithoutDialog, TheLongestSideAWindowCanHaveIsStillComputed)
{
    FakeWindow window(16777215, 1);
    CNivoDoc doc(&window);
    doc.Compute(2, -0.5, 0.0, 1.0, DialogBars());
    ASSERT_EQ(doc.BufferSize(), 16777215);
    const double y = 0.0 - ((3.6 / 16777215) * 0.5);
    EXPECT_EQ(doc.m_buffer[0], LiteralEscapeCount(-2.3, y, 2));
}

TEST(CNivoDocWithoutDialog, NoRoomForTheSamplePointsLeavesNoBufferAndNoCrash)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit leaves";
#endif
    // Room for the 64 MiB of counts of the longest row, not for its 128 MiB of x coordinates.
    EXPECT_EQ(ExitStatusWithRoom(100 * kMiB, [] {
                  FakeWindow window(16777215, 1);
                  CNivoDoc doc(&window);
                  doc.Compute(2, -0.5, 0.0, 1.0, DialogBars());
                  return doc.m_buffer == nullptr && doc.BufferSize() == 0 ? 0 : 1;
              }),
              0);
}

TEST(CNivoDocWithoutDialog, ComputesWhenNoProgressTemplateIsRegistered)
{
    FakeWindow window(4, 3);
    CNivoDoc doc(&window);
    doc.Compute(50, -0.5, 0.0, 1.0, DialogBars());
    ASSERT_EQ(doc.BufferSize(), 12);
    EXPECT_EQ(doc.m_buffer[7], 50);
}

// A stop leaves the columns nobody began as they were, on every kernel and
// whether the stop comes with the first report or a later one. On one
// thread, which reports, the columns begun are few; with more, the others
// may run far ahead of the first report.
TEST(ComputeEngine, AReportThatStopsLeavesTheColumnsNotYetBegun)
{
    constexpr std::int32_t W = 3000, H = 64;
    SampleGrid grid;
    ASSERT_TRUE(grid.BuildView(W, H, -0.5, 0.0, 1.0));
    const ComputeSettings saved = ComputeSettings::Current();
    for (const int threads : {1, 2})
        for (const Kernel kernel : {Kernel::Scalar, Kernel::Avx2, Kernel::Avx512})
            for (const std::int32_t stopAt : {0, 100}) {
                ComputeSettings::Set({threads, kernel});
                std::vector<std::int32_t> counts(std::size_t(W) * H, -1);
                std::int32_t reported = 0;
                ComputeEngine().Fill(grid, 1000, counts.data(), [&](std::int32_t column) {
                    EXPECT_EQ(column, reported++);
                    return column < stopAt;
                });
                const std::string at = std::to_string(threads) + " threads, " + KernelName(kernel) + ", stopped at " +
                                       std::to_string(stopAt);
                EXPECT_EQ(reported, W) << at;
                EXPECT_NE(counts[std::size_t(stopAt) * H], -1) << at;
                // Every column is begun whole; the queues hold a few hundred at most.
                const auto begun = std::count_if(counts.begin(), counts.end(), [](std::int32_t n) { return n != -1; });
                EXPECT_EQ(begun % H, 0) << at;
                if (threads == 1) {
                    EXPECT_LT(begun / H, stopAt + 300) << at;
                }
            }
    ComputeSettings::Set(saved);
}

constexpr int kCannotDrop = 99;
constexpr uid_t kNobody = 65534;

// Root reads every file whatever its permissions: the check runs in a child
// that first gives up root for nobody, and reports through its exit status.
int OpenResultAsNobody(const std::string& path)
{
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
            _exit(kCannotDrop);
        CNivoDoc doc;
        _exit(static_cast<int>(doc.OnOpenDocument(path)));
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST(CNivoDocOpen, AFileThatCannotBeReadIsUnreadableNotMissing)
{
    char pattern[] = "/tmp/nivo-doc-open-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path folder = pattern;
    std::ofstream(folder / "lisible.nivo") << "x";
    std::ofstream(folder / "verrouille.nivo") << "x";
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    ASSERT_EQ(chmod((folder / "lisible.nivo").c_str(), 0644), 0);
    ASSERT_EQ(chmod((folder / "verrouille.nivo").c_str(), 0), 0);

    const int readable = OpenResultAsNobody(folder / "lisible.nivo");
    if (readable == kCannotDrop) {
        std::filesystem::remove_all(folder);
        GTEST_SKIP() << "cannot give up root here";
    }
    // The child reaches the folder: only the file's own permissions refuse it.
    EXPECT_EQ(readable, int(CNivoDoc::OpenResult::Opened));
    EXPECT_EQ(OpenResultAsNobody(folder / "verrouille.nivo"), int(CNivoDoc::OpenResult::Unreadable));
    // Behind a folder it may not search, a file is refused, not missing.
    ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
    EXPECT_EQ(OpenResultAsNobody(folder / "lisible.nivo"), int(CNivoDoc::OpenResult::Unreadable));
    std::filesystem::remove_all(folder);
}
} // namespace
