#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "FolderFiles.h"
#include "export/AviWriter.h"
#include "platform/Gdi32.h"
#include "platform/GdiObject.h"
#include "render/CDibImage.h"

namespace fs = std::filesystem;

namespace {
std::string Run(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

std::string Probe(const std::string& file, const std::string& entries)
{
    std::string out = Run("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=" + entries +
                          " -of default=nw=1:nk=1 '" + file + "' 2>/dev/null");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// Upright RGB bytes of the first frame, as FFmpeg decodes it.
std::string FirstFrame(const std::string& file)
{
    return Run("ffmpeg -v error -i '" + file + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 - 2>/dev/null");
}

struct Picture {
    CDibImage image;
    explicit Picture(int w, int h)
    {
        image.CreateDib(w, h);
        HDC dc = image.GetImageDC();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                SetPixel(dc, x, y, RGB(BYTE(x * 255 / w), BYTE(y * 255 / h), BYTE(y < h / 4 ? 255 : 40)));
        image.ReleaseImageDC();
    }
    std::string UprightRgb() const
    {
        std::string rgb;
        for (int y = 0; y < image.m_height; ++y)
            for (int x = 0; x < image.m_width; ++x) {
                const BYTE* p = image.m_topRow + y * image.m_pitch + x * 3;
                rgb += char(p[2]), rgb += char(p[1]), rgb += char(p[0]);
            }
        return rgb;
    }
};

struct Writer : testing::Test {
    fs::path dir = fs::temp_directory_path() / ("nivo-avi-" + std::to_string(::getpid()));
    Picture picture {64, 48};
    HBITMAP Bitmap() const { return picture.image.m_bitmap; }
    std::string File(const char* name) const { return (dir / name).string(); }

    void SetUp() override
    {
        fs::create_directories(dir);
        SetSaveOptionsPrompt(nullptr);
    }
    void TearDown() override
    {
        SetSaveOptionsPrompt(nullptr);
        fs::remove_all(dir);
    }
    void Answer(bool accept, DWORD handler = 0)
    {
        SetSaveOptionsPrompt([accept, handler](HWND, AVICOMPRESSOPTIONS& options) {
            if (handler)
                options.fccHandler = handler;
            return accept;
        });
    }
};

TEST_F(Writer, NullWriterAndUnopenablePaths)
{
    EXPECT_EQ(AviOpenWriter(File("absent/x.avi").c_str(), 41), nullptr);
    fs::create_directory(dir / "test.avi");
    EXPECT_EQ(AviOpenWriter(File("test.avi").c_str(), 41), nullptr);
    // Writing would wait for a reader; replacing would remove the pipe.
    ASSERT_EQ(mkfifo(File("pipe.avi").c_str(), 0644), 0);
    EXPECT_EQ(AviOpenWriter(File("pipe.avi").c_str(), 41), nullptr);
    EXPECT_TRUE(fs::is_fifo(File("pipe.avi")));
    EXPECT_EQ(AviOpenWriter("", 41), nullptr);
    EXPECT_EQ(AVIFileInitCount(), 0);
    EXPECT_EQ(AviConfigureVideo(nullptr, Bitmap(), nullptr, false, nullptr), AVIERR_BADHANDLE);
    EXPECT_EQ(AviAppendFrame(nullptr, Bitmap()), AVIERR_BADHANDLE);
    EXPECT_EQ(AviCloseWriter(nullptr), AVIERR_BADHANDLE);
    EXPECT_EQ(AVIERR_BADHANDLE, static_cast<HRESULT>(0x8004406C));
}

TEST_F(Writer, TheFileTakesItsPlaceAtReleaseAndTheLibraryIsCounted)
{
    AviWriter* writer = AviOpenWriter(File("a.avi").c_str(), 41);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(AVIFileInitCount(), 1);
    EXPECT_EQ(writer->framePeriod, 41);
    EXPECT_EQ(writer->frameCount, 0);
    EXPECT_FALSE(writer->failed);
    EXPECT_EQ(AviAppendFrame(writer, Bitmap()), AVIERR_OK);
    EXPECT_FALSE(fs::exists(File("a.avi")));
    EXPECT_EQ(AviCloseWriter(writer), AVIERR_OK);
    EXPECT_EQ(Probe(File("a.avi"), "nb_read_frames"), "1");
    EXPECT_EQ(AVIFileInitCount(), 0);
}

TEST_F(Writer, AWriterClosedBeforeItHadAStreamLeavesNoFile)
{
    // Neither a frame nor a picture ever came: there is nothing a player could open.
    WriteAll(File("old.avi"), "old video");
    AviCloseWriter(AviOpenWriter(File("old.avi").c_str(), 41));
    AviWriter* writer = AviOpenWriter(File("new.avi").c_str(), 41);
    EXPECT_EQ(AviAppendFrame(writer, nullptr), AVIERR_BADPARAM);
    AviCloseWriter(writer);
    EXPECT_EQ(ReadAll(File("old.avi")), "old video");
    EXPECT_EQ(Entries(dir), std::set<std::string> {"old.avi"});
}

TEST_F(Writer, TheOldFileStaysUntilTheNewOneIsFinished)
{
    WriteAll(File("old.avi"), "old video");
    fs::permissions(File("old.avi"), fs::perms(0640));
    AviWriter* writer = AviOpenWriter(File("old.avi").c_str(), 41);
    ASSERT_NE(writer, nullptr);
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(AviAppendFrame(writer, Bitmap()), AVIERR_OK);
    EXPECT_EQ(ReadAll(File("old.avi")), "old video");
    AviCloseWriter(writer);
    EXPECT_EQ(Probe(File("old.avi"), "nb_read_frames"), "20");
    EXPECT_EQ(fs::status(File("old.avi")).permissions(), fs::perms(0640));
    EXPECT_EQ(Entries(dir), std::set<std::string> {"old.avi"});
}

// The video's name is fixed, so a link under it may have been planted by
// anyone: the link is replaced, what it names is never written.
TEST_F(Writer, ASymbolicLinkIsReplacedAndWhatItNamesIsUntouched)
{
    WriteAll(File("target.avi"), "old video");
    fs::create_symlink("target.avi", File("link.avi"));
    fs::create_symlink("elsewhere.avi", File("dangling.avi"));
    for (const char* name : {"link.avi", "dangling.avi"}) {
        AviWriter* writer = AviOpenWriter(File(name).c_str(), 41);
        ASSERT_EQ(AviAppendFrame(writer, Bitmap()), AVIERR_OK);
        AviCloseWriter(writer);
        EXPECT_FALSE(fs::is_symlink(File(name)));
        EXPECT_EQ(Probe(File(name), "nb_read_frames"), "1");
    }
    EXPECT_EQ(ReadAll(File("target.avi")), "old video");
    EXPECT_EQ(Entries(dir), (std::set<std::string> {"dangling.avi", "link.avi", "target.avi"}));
}

TEST_F(Writer, BadBitmapsAreRefusedWithoutFailingTheWriter)
{
    AviWriter* writer = AviOpenWriter(File("b.avi").c_str(), 41);
    HBITMAP plain = CreateCompatibleBitmap(nullptr, 8, 8);
    EXPECT_EQ(AviAppendFrame(writer, nullptr), AVIERR_BADPARAM);
    EXPECT_EQ(AviAppendFrame(writer, plain), AVIERR_BADPARAM);
    EXPECT_EQ(AviConfigureVideo(writer, plain, nullptr, false, nullptr), AVIERR_BADPARAM);
    EXPECT_FALSE(writer->failed);
    EXPECT_EQ(AviAppendFrame(writer, Bitmap()), AVIERR_OK);
    EXPECT_EQ(writer->frameCount, 1);
    EXPECT_EQ(AviCloseWriter(writer), AVIERR_OK);
    DeleteObject(plain);
    EXPECT_EQ(Probe(File("b.avi"), "nb_read_frames"), "1");
}

TEST_F(Writer, FramePeriodsThatAreNoDurationWriteNoFrame)
{
    for (LONG period : {0, -41, LONG(INT32_MIN)}) {
        AviWriter* writer = AviOpenWriter(File("p.avi").c_str(), period);
        ASSERT_NE(writer, nullptr);
        EXPECT_EQ(AviAppendFrame(writer, Bitmap()), AVIERR_BADFORMAT) << period;
        EXPECT_TRUE(writer->failed);
        EXPECT_EQ(writer->frameCount, 0);
        EXPECT_EQ(AviCloseWriter(writer), AVIERR_OK);
    }
}

TEST_F(Writer, ConfigureOnlyOnceAndOnlyBeforeTheFirstFrame)
{
    AviWriter* writer = AviOpenWriter(File("c.avi").c_str(), 41);
    EXPECT_EQ(AviConfigureVideo(writer, Bitmap(), nullptr, false, nullptr), AVIERR_NOCOMPRESSOR);
    EXPECT_TRUE(writer->failed);
    AviCloseWriter(writer);

    writer = AviOpenWriter(File("d.avi").c_str(), 41);
    AVICOMPRESSOPTIONS raw {};
    raw.fccHandler = mmioFOURCC('D', 'I', 'B', ' ');
    EXPECT_EQ(AviConfigureVideo(writer, Bitmap(), &raw, false, nullptr), AVIERR_OK);
    EXPECT_EQ(AviConfigureVideo(writer, Bitmap(), &raw, false, nullptr), AVIERR_COMPRESSOR);
    EXPECT_FALSE(writer->failed);
    AviCloseWriter(writer);

    writer = AviOpenWriter(File("e.avi").c_str(), 41);
    EXPECT_EQ(AviAppendFrame(writer, Bitmap()), AVIERR_OK);
    EXPECT_EQ(AviConfigureVideo(writer, Bitmap(), &raw, false, nullptr), AVIERR_COMPRESSOR);
    EXPECT_EQ(AviCloseWriter(writer), AVIERR_OK);
}

TEST_F(Writer, RefusedDialogFailsEveryLaterFrameAndKeepsTheOldFile)
{
    Answer(false);
    WriteAll(File("refused.avi"), "old video");
    AviWriter* writer = AviOpenWriter(File("refused.avi").c_str(), 41);
    AVICOMPRESSOPTIONS options {};
    options.fccHandler = mmioFOURCC('d', 'i', 'v', 'x');
    EXPECT_EQ(AviConfigureVideo(writer, Bitmap(), &options, true, nullptr), AVIERR_USERABORT);
    EXPECT_TRUE(writer->failed);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(AviAppendFrame(writer, Bitmap()), AVIERR_ERROR);
    EXPECT_EQ(AviCloseWriter(writer), AVIERR_OK);
    EXPECT_EQ(ReadAll(File("refused.avi")), "old video");
    EXPECT_EQ(Entries(dir), std::set<std::string> {"refused.avi"});
    // Without an old file, none is made.
    writer = AviOpenWriter(File("none.avi").c_str(), 41);
    EXPECT_EQ(AviConfigureVideo(writer, Bitmap(), nullptr, true, nullptr), AVIERR_USERABORT);
    EXPECT_EQ(AviCloseWriter(writer), AVIERR_OK);
    EXPECT_EQ(Entries(dir), std::set<std::string> {"refused.avi"});
}

TEST_F(Writer, UncompressedFramesAreThePictureUpright)
{
    AviWriter* writer = AviOpenWriter(File("raw.avi").c_str(), 41);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(AviAppendFrame(writer, Bitmap()), AVIERR_OK);
    EXPECT_EQ(writer->frameCount, 50);
    AviCloseWriter(writer);
    EXPECT_EQ(Probe(File("raw.avi"), "codec_name,width,height,avg_frame_rate,nb_read_frames"),
              "rawvideo\n64\n48\n1000/41\n50");
    EXPECT_TRUE(FirstFrame(File("raw.avi")) == picture.UprightRgb());
}

struct CompressorCase {
    DWORD handler;
    const char* codec;
    double tolerance; // mean absolute error per byte
};

void PrintTo(const CompressorCase& c, std::ostream* os) { *os << c.codec; }
class Compressors : public Writer, public testing::WithParamInterface<CompressorCase> {};

TEST_P(Compressors, EachOfferedCompressorWritesAPlayableUprightFile)
{
    const CompressorCase& c = GetParam();
    if (!FindCompressor(c.handler))
        GTEST_SKIP() << c.codec << " is not available here";
    // Views of any size: odd ones cannot take half-size colour planes everywhere.
    for (const auto& [width, height] : {std::pair {64, 48}, std::pair {33, 17}, std::pair {1, 1}}) {
        const Picture frame(width, height);
        Answer(true, c.handler);
        AviWriter* writer = AviOpenWriter(File("v.avi").c_str(), 41);
        AVICOMPRESSOPTIONS options {};
        options.fccHandler = mmioFOURCC('d', 'i', 'v', 'x');
        ASSERT_EQ(AviConfigureVideo(writer, frame.image.m_bitmap, &options, true, nullptr), AVIERR_OK);
        for (int i = 0; i < 50; ++i)
            ASSERT_EQ(AviAppendFrame(writer, frame.image.m_bitmap), AVIERR_OK);
        AviCloseWriter(writer);
        EXPECT_EQ(Probe(File("v.avi"), "codec_name,width,height,avg_frame_rate,nb_read_frames"),
                  std::string(c.codec) + "\n" + std::to_string(width) + "\n" + std::to_string(height) + "\n1000/41\n50");
        const std::string decoded = FirstFrame(File("v.avi"));
        const std::string expected = frame.UprightRgb();
        ASSERT_EQ(decoded.size(), expected.size()) << width << "x" << height;
        // Mean error over the columns from `first` on: the whole picture, and
        // its last column, which half-size colour planes could take from past the row.
        const auto error = [&](int first) {
            double sum = 0;
            for (std::size_t i = 0; i < decoded.size(); ++i)
                if (int(i / 3 % width) >= first)
                    sum += std::abs(int(BYTE(decoded[i])) - int(BYTE(expected[i])));
            return sum / (3.0 * height * (width - first));
        };
        // A single pixel has no neighbours to average its colour with.
        const double tolerance = width == 1 ? 4 * c.tolerance : c.tolerance;
        EXPECT_LE(error(0), tolerance) << c.codec << " " << width << "x" << height;
        EXPECT_LE(error(width - 1), tolerance) << c.codec << " " << width << "x" << height << ", last column";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Offered, Compressors,
    testing::Values(CompressorCase {mmioFOURCC('D', 'I', 'B', ' '), "rawvideo", 0.0},
                    CompressorCase {mmioFOURCC('D', 'I', 'V', 'X'), "mpeg4", 8.0},
                    CompressorCase {mmioFOURCC('M', 'J', 'P', 'G'), "mjpeg", 8.0},
                    CompressorCase {mmioFOURCC('F', 'F', 'V', '1'), "ffv1", 0.0},
                    CompressorCase {mmioFOURCC('H', '2', '6', '4'), "h264", 8.0}));

TEST_F(Writer, TheDialogStartsFromTheCallersOptions)
{
    DWORD seen = 0;
    SetSaveOptionsPrompt([&seen](HWND, AVICOMPRESSOPTIONS& options) {
        seen = options.fccHandler;
        return true;
    });
    AviWriter* writer = AviOpenWriter(File("f.avi").c_str(), 41);
    AVICOMPRESSOPTIONS options {};
    options.fccHandler = mmioFOURCC('d', 'i', 'v', 'x');
    EXPECT_EQ(AviConfigureVideo(writer, Bitmap(), &options, true, nullptr), AVIERR_OK);
    EXPECT_EQ(seen, mmioFOURCC('d', 'i', 'v', 'x'));
    AviCloseWriter(writer);
}
} // namespace

namespace {
TEST_F(Writer, FilesPastOneGibibyteStayReadable)
{
    if (!std::getenv("NIVO_BIG_TESTS"))
        GTEST_SKIP() << "writes 1.1 GiB; set NIVO_BIG_TESTS=1 to run";
    Picture big(1920, 1080);
    AviWriter* writer = AviOpenWriter(File("big.avi").c_str(), 41);
    const int frames = int((std::int64_t(1) << 30) / big.image.m_bitmap->Header().biSizeImage) + 10;
    for (int i = 0; i < frames; ++i)
        ASSERT_EQ(AviAppendFrame(writer, big.image.m_bitmap), AVIERR_OK);
    AviCloseWriter(writer);
    EXPECT_GT(fs::file_size(File("big.avi")), std::uintmax_t(1) << 30);
    EXPECT_EQ(Probe(File("big.avi"), "nb_read_frames"), std::to_string(frames));
}
} // namespace
