#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "FolderFiles.h"
#include "ProcessMemory.h"
#include "export/AviWriter.h"
#include "platform/AviModule.h"
#include "platform/AviServices.h"
#include "render/CDibImage.h"

namespace fs = std::filesystem;

namespace {
class AviModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fs::temp_directory_path() / ("nivo-avimodule-" + std::to_string(::getpid()));
        fs::create_directories(m_folder);
    }
    void TearDown() override
    {
        AviModule::SetNotice(nullptr);
        AviModule::SetPath("");
        fs::remove_all(m_folder);
    }
    fs::path m_folder;
};

TEST_F(AviModuleTest, FilesThatAreNotTheModuleAreRefusedWithAReason)
{
    std::string error;
    const std::string missing = (m_folder / "absent.so").string();
    EXPECT_EQ(AviModule::Open(missing, error), nullptr);
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_NE(error.find("introuvable"), std::string::npos) << error;
    EXPECT_NE(error.find("l'export vidéo est indisponible"), std::string::npos) << error;

    const fs::path text = m_folder / "text.so";
    WriteAll(text, "not a shared library\n");
    error.clear();
    EXPECT_EQ(AviModule::Open(text.string(), error), nullptr);
    EXPECT_NE(error.find(text.string()), std::string::npos) << error;

    // A real library without the entry point.
    error.clear();
    EXPECT_EQ(AviModule::Open("libm.so.6", error), nullptr);
    EXPECT_NE(error.find("n'est pas le module vidéo"), std::string::npos) << error;
}

// The module and FFmpeg's libraries need room to be mapped: without it the
// user is told of memory, not of a missing file.
TEST_F(AviModuleTest, NoRoomToMapTheModuleIsToldAsLackOfMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit leaves";
#endif
    EXPECT_EQ(ExitStatusWithRoom(4 * kMiB, [] {
                  std::string error;
                  const bool refused = !AviModule::Open(AviModule::DefaultPath(), error);
                  return refused && error.find("Mémoire insuffisante") == 0 ? 0 : 1;
              }),
              0);
}

TEST_F(AviModuleTest, TheBuiltModuleGivesEveryServiceAndTheUncompressedChoice)
{
    std::string error;
    const AviServices* services = AviModule::Open(AviModule::DefaultPath(), error);
    ASSERT_NE(services, nullptr) << error;
    EXPECT_TRUE(services->openFile && services->createStream && services->makeCompressedStream &&
                services->setFormat && services->write && services->releaseStream && services->releaseFile &&
                services->availableCompressors && services->findCompressor);
    ASSERT_FALSE(services->availableCompressors().empty());
    EXPECT_EQ(services->availableCompressors().front().fccHandler, mmioFOURCC('D', 'I', 'B', ' '));
    EXPECT_NE(services->findCompressor(mmioFOURCC('d', 'i', 'b', ' ')), nullptr);
}

// FFmpeg is loaded by the first video, not at start; a missing module makes
// the writer fail cleanly and tells why, and the next video tries again.
TEST_F(AviModuleTest, FfmpegIsLoadedOnlyForAVideoAndAMissingModuleFailsCleanly)
{
    // CTest runs each case in a process of its own; run together, an earlier
    // case may have opened the module already.
    const bool fresh = !Mapped("libnivo_avifile");
    if (fresh) {
        EXPECT_FALSE(Mapped("libavcodec"));
    }

    std::vector<std::string> told;
    AviModule::SetNotice([&told](const std::string& message) { told.push_back(message); });
    AviModule::SetPath((m_folder / "absent.so").string());
    const std::string video = (m_folder / "v.avi").string();
    EXPECT_EQ(AviOpenWriter(video.c_str(), 41), nullptr);
    EXPECT_EQ(AVIFileInitCount(), 0);
    EXPECT_TRUE(AvailableCompressors().empty());
    EXPECT_EQ(FindCompressor(mmioFOURCC('D', 'I', 'B', ' ')), nullptr);
    ASSERT_EQ(told.size(), 3u);
    EXPECT_NE(told[0].find("absent.so"), std::string::npos) << told[0];
    EXPECT_FALSE(fs::exists(video));
    if (fresh) {
        EXPECT_FALSE(Mapped("libavcodec"));
    }

    AviModule::SetPath("");
    CDibImage image;
    image.CreateDib(4, 2);
    AviWriter* writer = AviOpenWriter(video.c_str(), 41);
    ASSERT_NE(writer, nullptr);
    EXPECT_TRUE(Mapped("libnivo_avifile"));
    EXPECT_TRUE(Mapped("libavcodec"));
    EXPECT_EQ(AviAppendFrame(writer, image.m_bitmap), AVIERR_OK);
    EXPECT_EQ(AviCloseWriter(writer), AVIERR_OK);
    EXPECT_GT(fs::file_size(video), 0u);
    EXPECT_EQ(told.size(), 3u);
}
} // namespace
