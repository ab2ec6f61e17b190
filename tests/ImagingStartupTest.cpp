#include <gtest/gtest.h>

#include <vector>

#include "export/ImagingStartup.h"
#include "platform/qt/Gdiplus.h"

namespace {
// What the injected library saw; reset by each test.
struct LibraryLog {
    int starts = 0;
    std::uint32_t version = 0;
    bool otherMembersZero = false;
    GpStatus answer = Ok;
    ULONG_PTR tokenGiven = 0x5A5A;
    std::vector<ULONG_PTR> shutdowns;
};
LibraryLog g_log;

GpStatus RecordStart(ULONG_PTR* token, const GdiplusStartupInput* input, void*)
{
    ++g_log.starts;
    g_log.version = input->GdiplusVersion;
    g_log.otherMembersZero = !input->DebugEventCallback && !input->SuppressBackgroundThread && !input->SuppressExternalCodecs;
    *token = g_log.tokenGiven; // even on failure, as a careless library might
    return g_log.answer;
}

void RecordShutdown(ULONG_PTR token) { g_log.shutdowns.push_back(token); }

class ImagingStartupTest : public testing::Test {
protected:
    void SetUp() override { g_log = LibraryLog {}; }
    ImagingStartup startup {RecordStart, RecordShutdown};
};

TEST_F(ImagingStartupTest, StartsOnceWithVersionOneAndStopsWithItsToken)
{
    EXPECT_TRUE(startup.Start());
    EXPECT_TRUE(startup.Start());
    EXPECT_EQ(g_log.starts, 1);
    EXPECT_EQ(g_log.version, 1u);
    EXPECT_TRUE(g_log.otherMembersZero);
    startup.Shutdown();
    startup.Shutdown();
    EXPECT_EQ(g_log.shutdowns, std::vector<ULONG_PTR> {0x5A5A});
}

TEST_F(ImagingStartupTest, NeverRetriesAFailedStart)
{
    g_log.answer = GenericError;
    EXPECT_FALSE(startup.Start());
    g_log.answer = Ok;
    EXPECT_FALSE(startup.Start());
    EXPECT_FALSE(startup.Start());
    EXPECT_EQ(g_log.starts, 1);
    startup.Shutdown();
    EXPECT_TRUE(g_log.shutdowns.empty());
}

TEST_F(ImagingStartupTest, StopsNothingThatWasNeverStarted)
{
    startup.Shutdown();
    EXPECT_TRUE(g_log.shutdowns.empty());
    EXPECT_EQ(g_log.starts, 0);
}

TEST(ImagingStartupProcess, StartsTheRealLibraryForTheWholeProcess)
{
    ImagingStartup& process = ImagingStartup::Process();
    EXPECT_EQ(&process, &ImagingStartup::Process());
    ASSERT_TRUE(process.Start());
    UINT count = 0, size = 0;
    EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
    EXPECT_GT(count, 0u);
}
} // namespace
