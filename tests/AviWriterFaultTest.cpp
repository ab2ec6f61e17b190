// The AVI writer when the disk fills, the folder is read-only or the process
// dies half-way: the old video stays byte for byte, and nothing else is left
// in the folder.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "FolderFiles.h"
#include "SmallDisk.h"
#include "export/AviWriter.h"
#include "render/CDibImage.h"

namespace fs = std::filesystem;

namespace {
const std::string kOldVideo(1000, 'o');

// Whether files without a name can be made here; without them a killed
// writer leaves its hidden file behind.
bool UnnamedFilesWork(const fs::path& folder)
{
    const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0)
        close(fd);
    return fd >= 0;
}

struct WriterFaults : testing::Test {
    fs::path dir;
    fs::path target;

    void SetUp() override
    {
        char pattern[] = "/tmp/nivo-avi-faults-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        target = dir / "test.avi";
        SetSaveOptionsPrompt(nullptr);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Frames until the first failure; the writer stays open.
    static int AppendFrames(AviWriter* writer, const CDibImage& frame, int count, HRESULT* failure)
    {
        *failure = AVIERR_OK;
        for (int i = 0; i < count; ++i)
            if (const HRESULT result = AviAppendFrame(writer, frame.m_bitmap); result != AVIERR_OK) {
                *failure = result;
                return i;
            }
        return count;
    }
};

class WriterOnSmallDisk : public OnSmallDisk<WriterFaults> {};

TEST_F(WriterOnSmallDisk, AVideoThatFitsReplacesTheOldOne)
{
    WriteAll(target, kOldVideo);
    CDibImage frame;
    frame.CreateDib(16, 16);
    AviWriter* writer = AviOpenWriter(target.c_str(), 41);
    ASSERT_NE(writer, nullptr);
    HRESULT failure;
    EXPECT_EQ(AppendFrames(writer, frame, 5, &failure), 5);
    AviCloseWriter(writer);
    EXPECT_EQ(ReadAll(target).substr(0, 4), "RIFF");
    EXPECT_EQ(Entries(dir), std::set<std::string> {"test.avi"});
}

TEST_F(WriterOnSmallDisk, AVideoThatDoesNotFitKeepsTheOldOne)
{
    WriteAll(target, kOldVideo);
    // Uncompressed, one 300 x 200 frame takes 180 000 bytes: not one fits in 64 KiB.
    CDibImage frame;
    frame.CreateDib(300, 200);
    ASSERT_NE(frame.m_bitmap, nullptr);
    AviWriter* writer = AviOpenWriter(target.c_str(), 41);
    ASSERT_NE(writer, nullptr);
    HRESULT failure;
    EXPECT_LT(AppendFrames(writer, frame, 50, &failure), 50);
    EXPECT_EQ(failure, AVIERR_FILEWRITE);
    EXPECT_TRUE(writer->failed);
    // Once failed, the writer refuses every later frame.
    EXPECT_EQ(AviAppendFrame(writer, frame.m_bitmap), AVIERR_ERROR);
    AviCloseWriter(writer);
    EXPECT_TRUE(ReadAll(target) == kOldVideo) << "the old video was overwritten";
    EXPECT_EQ(Entries(dir), std::set<std::string> {"test.avi"});
    EXPECT_EQ(AVIFileInitCount(), 0);

    // Without an old video, no file appears at all.
    fs::remove(target);
    writer = AviOpenWriter(target.c_str(), 41);
    ASSERT_NE(writer, nullptr);
    EXPECT_LT(AppendFrames(writer, frame, 50, &failure), 50);
    AviCloseWriter(writer);
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(WriterOnSmallDisk, ARefusedDialogKeepsTheOldVideoWhereAHeaderWouldFit)
{
    // The header alone would fit, but a video whose compression was refused
    // is no video: the old one stays.
    WriteAll(target, kOldVideo);
    CDibImage frame;
    frame.CreateDib(300, 200);
    SetSaveOptionsPrompt([](HWND, AVICOMPRESSOPTIONS&) { return false; });
    AviWriter* writer = AviOpenWriter(target.c_str(), 41);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(AviConfigureVideo(writer, frame.m_bitmap, nullptr, true, nullptr), AVIERR_USERABORT);
    AviCloseWriter(writer);
    SetSaveOptionsPrompt(nullptr);
    EXPECT_EQ(ReadAll(target), kOldVideo);
    EXPECT_EQ(Entries(dir), std::set<std::string> {"test.avi"});
}

TEST_F(WriterOnSmallDisk, AReadOnlyFolderRefusesTheOpenAndKeepsTheOldVideo)
{
    WriteAll(target, kOldVideo);
    ASSERT_TRUE(disk->MakeReadOnly());
    EXPECT_EQ(AviOpenWriter(target.c_str(), 41), nullptr);
    EXPECT_EQ(AviOpenWriter((dir / "new.avi").c_str(), 41), nullptr);
    EXPECT_EQ(AVIFileInitCount(), 0);
    EXPECT_TRUE(ReadAll(target) == kOldVideo) << "the old video was overwritten";
    EXPECT_EQ(Entries(dir), std::set<std::string> {"test.avi"});
}

enum class Death { Exit, Kill };

void PrintTo(Death death, std::ostream* os) { *os << (death == Death::Kill ? "killed" : "exited"); }

class WriterDying : public WriterFaults, public testing::WithParamInterface<Death> {};

// The child writes a good part of a video, then dies without closing it:
// killed outright, or ending without running any clean-up.
TEST_P(WriterDying, HalfWayLeavesTheOldVideoAndNothingElse)
{
    WriteAll(target, kOldVideo);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CDibImage frame;
        frame.CreateDib(64, 48);
        AviWriter* writer = AviOpenWriter(target.c_str(), 41);
        HRESULT failure;
        // Twenty frames of 9 KiB: well past what the writer buffers.
        if (!writer || AppendFrames(writer, frame, 20, &failure) != 20)
            _exit(1);
        if (GetParam() == Death::Kill)
            raise(SIGKILL);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (GetParam() == Death::Kill)
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child could not write its frames";
    else
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child could not write its frames";
    EXPECT_TRUE(ReadAll(target) == kOldVideo) << "the old video was overwritten";
    if (UnnamedFilesWork(dir)) {
        EXPECT_EQ(Entries(dir), std::set<std::string> {"test.avi"});
    }
}

INSTANTIATE_TEST_SUITE_P(Deaths, WriterDying, testing::Values(Death::Exit, Death::Kill),
                         [](const testing::TestParamInfo<Death>& info) {
                             return info.param == Death::Kill ? "Killed" : "Exited";
                         });
} // namespace
