// The video module's movie encoder: every colour kept by a lossless codec,
// whichever way the rows run; the old file kept until the new one is whole;
// each refusal with its cause.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "FolderFiles.h"
#include "SmallDisk.h"
#include "platform/AviModule.h"
#include "platform/AviServices.h"

namespace fs = std::filesystem;

namespace {
using Cause = MovieFailure::Cause;
const std::string kOldMovie(1000, 'o');

// Top-down BGR rows where every byte value comes up, with padding at each row's end.
struct Frame {
    int width;
    int height;
    int pitch;
    std::vector<std::uint8_t> bytes;

    Frame(int w, int h, int seed) : width(w), height(h), pitch((w * 3 + 3) & ~3), bytes(std::size_t(pitch) * h, 0xEE)
    {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w * 3; ++x)
                bytes[std::size_t(y) * pitch + x] = std::uint8_t(x * 7 + y * 13 + seed * 101);
    }
    // The rows without their padding, as ffmpeg decodes them to bgr24.
    std::string Packed() const
    {
        std::string packed;
        for (int y = 0; y < height; ++y)
            packed.append(reinterpret_cast<const char*>(&bytes[std::size_t(y) * pitch]), std::size_t(width) * 3);
        return packed;
    }
};

// What ffmpeg decodes from the movie, as bgr24; empty when it cannot.
std::string Decoded(const fs::path& movie)
{
    const std::string command = "ffmpeg -v error -i '" + movie.string() + "' -f rawvideo -pix_fmt bgr24 - 2>/dev/null";
    std::string out;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

struct MovieEncoderTest : testing::Test {
    fs::path dir;
    const MovieServices* movie = nullptr;

    void SetUp() override
    {
        char pattern[] = "/tmp/nivo-movie-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        std::string error;
        const AviServices* services = AviModule::Open(AviModule::DefaultPath(), error);
        ASSERT_NE(services, nullptr) << error;
        movie = services->movie;
        ASSERT_TRUE(movie && movie->open && movie->write && movie->finish && movie->discard);
    }
    void TearDown() override { fs::remove_all(dir); }

    MovieEncoder* Open(const fs::path& path, const std::string& codec, int width, int height, MovieFailure& failure)
    {
        const std::string name = path.string();
        return movie->open({name.c_str(), codec, width, height, 30}, failure);
    }
};

struct LosslessCase {
    const char* codec;
    const char* name;
    bool bottomUp;
};

void PrintTo(const LosslessCase& c, std::ostream* out)
{
    *out << c.codec << " into " << c.name << (c.bottomUp ? ", bottom-up rows" : ", top-down rows");
}

class LosslessMovie : public MovieEncoderTest, public testing::WithParamInterface<LosslessCase> {};

// FFV1 takes BGR0 and Ut Video planar GBR: both turned by hand from the rows,
// which a bottom-up section hands over last row first.
TEST_P(LosslessMovie, KeepsEveryByteOfEveryFrame)
{
    const LosslessCase& c = GetParam();
    const fs::path target = dir / c.name;
    MovieFailure failure;
    MovieEncoder* encoder = Open(target, c.codec, 33, 21, failure);
    ASSERT_NE(encoder, nullptr) << int(failure.cause) << " " << failure.detail;
    std::string expected;
    for (int seed = 0; seed < 3; ++seed) {
        const Frame frame(33, 21, seed);
        const std::uint8_t* top = frame.bytes.data();
        std::ptrdiff_t pitch = frame.pitch;
        std::vector<std::uint8_t> flipped;
        if (c.bottomUp) {
            for (int y = frame.height - 1; y >= 0; --y)
                flipped.insert(flipped.end(), top + std::ptrdiff_t(y) * pitch, top + std::ptrdiff_t(y + 1) * pitch);
            top = flipped.data() + std::ptrdiff_t(frame.height - 1) * pitch;
            pitch = -pitch;
        }
        ASSERT_TRUE(movie->write(encoder, top, pitch, failure));
        expected += frame.Packed();
    }
    ASSERT_TRUE(movie->finish(encoder, failure)) << int(failure.cause);
    const std::string decoded = Decoded(target);
    if (decoded.empty())
        GTEST_SKIP() << "ffmpeg could not decode the movie";
    EXPECT_TRUE(decoded == expected) << decoded.size() << " bytes decoded, " << expected.size() << " written";
}

INSTANTIATE_TEST_SUITE_P(Codecs, LosslessMovie,
                         testing::Values(LosslessCase {"ffv1", "m.mkv", false}, LosslessCase {"ffv1", "m.mkv", true},
                                         LosslessCase {"utvideo", "m.avi", false},
                                         LosslessCase {"utvideo", "m.avi", true},
                                         LosslessCase {"rawvideo", "m.avi", false},
                                         LosslessCase {"rawvideo", "m.mkv", true}),
                         [](const auto& info) {
                             return std::string(info.param.codec) + (info.param.bottomUp ? "_BottomUp" : "_TopDown");
                         });

// Colour planes of half the width: an odd row's last pixel keeps its own
// colour, not that of the padding or the next row after it.
TEST_F(MovieEncoderTest, AnOddWidthKeepsTheColourOfItsLastColumn)
{
    constexpr int W = 33, H = 20, kPitch = 112;
    const std::uint8_t bgr[3] = {200, 40, 10};
    std::vector<std::uint8_t> bytes(std::size_t(kPitch) * H, 0xEE);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W * 3; ++x)
            bytes[std::size_t(y) * kPitch + x] = bgr[x % 3];
    const fs::path target = dir / "m.avi";
    MovieFailure failure;
    MovieEncoder* encoder = Open(target, "mpeg4", W, H, failure);
    ASSERT_NE(encoder, nullptr) << int(failure.cause) << " " << failure.detail;
    ASSERT_TRUE(movie->write(encoder, bytes.data(), kPitch, failure));
    ASSERT_TRUE(movie->finish(encoder, failure)) << int(failure.cause);
    const std::string decoded = Decoded(target);
    if (decoded.empty())
        GTEST_SKIP() << "ffmpeg could not decode the movie";
    ASSERT_EQ(decoded.size(), std::size_t(W) * H * 3);
    for (int y = 0; y < H; ++y)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(std::uint8_t(decoded[(std::size_t(y) * W + W - 1) * 3 + c]), bgr[c], 6) << "row " << y;
}

TEST_F(MovieEncoderTest, TheOldFileStaysUntilTheNewOneIsFinishedAndADiscardedMovieLeavesNothing)
{
    const fs::path target = dir / "m.mp4";
    WriteAll(target, kOldMovie);
    const Frame frame(64, 48, 0);
    MovieFailure failure;
    for (const bool finish : {false, true}) {
        MovieEncoder* encoder = Open(target, "", 64, 48, failure);
        ASSERT_NE(encoder, nullptr);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(movie->write(encoder, frame.bytes.data(), frame.pitch, failure));
        EXPECT_EQ(ReadAll(target), kOldMovie);
        EXPECT_EQ(Entries(dir), std::set<std::string> {"m.mp4"});
        if (finish) {
            ASSERT_TRUE(movie->finish(encoder, failure));
        } else {
            movie->discard(encoder);
            EXPECT_EQ(ReadAll(target), kOldMovie);
        }
    }
    EXPECT_EQ(ReadAll(target).substr(4, 4), "ftyp");
    EXPECT_EQ(Entries(dir), std::set<std::string> {"m.mp4"});
}

struct Refusal {
    const char* name;
    const char* codec;
    Cause cause;
    int error;
    // A codec the failure offers instead, if any.
    const char* offered;
};

void PrintTo(const Refusal& r, std::ostream* out)
{
    *out << r.name << " with codec \"" << r.codec << "\", cause " << int(r.cause) << ", errno " << r.error;
}

class RefusedMovie : public MovieEncoderTest, public testing::WithParamInterface<Refusal> {};

TEST_P(RefusedMovie, SaysWhyAndWritesNothing)
{
    const Refusal& r = GetParam();
    fs::create_directory(dir / "folder.mkv");
    MovieFailure failure;
    EXPECT_EQ(Open(dir / r.name, r.codec, 64, 48, failure), nullptr);
    EXPECT_EQ(failure.cause, r.cause);
    EXPECT_EQ(failure.error, r.error);
    if (r.offered) {
        EXPECT_NE((", " + failure.detail + ",").find(std::string(", ") + r.offered + ","), std::string::npos)
            << failure.detail;
    }
    EXPECT_EQ(Entries(dir), std::set<std::string> {"folder.mkv"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedMovie,
    testing::Values(Refusal {"m.mov", "", Cause::Container, 0, nullptr},
                    Refusal {"m", "", Cause::Container, 0, nullptr},
                    Refusal {"m.mkv", "nonesuch", Cause::UnknownCodec, 0, "ffv1"},
                    // An audio encoder is no video codec.
                    Refusal {"m.mkv", "aac", Cause::UnknownCodec, 0, "libx264"},
                    Refusal {"m.webm", "ffv1", Cause::CodecNotInContainer, 0, "libvpx-vp9"},
                    Refusal {"absent/m.mkv", "", Cause::File, ENOENT, nullptr},
                    Refusal {"folder.mkv", "", Cause::File, EISDIR, nullptr}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

class MovieOnSmallDisk : public OnSmallDisk<MovieEncoderTest> {};

// Frames that do not compress fill the disk before the movie is finished.
TEST_F(MovieOnSmallDisk, AFullDiskKeepsTheOldFileAndSaysSo)
{
    const fs::path target = dir / "m.mkv";
    WriteAll(target, kOldMovie);
    MovieFailure failure;
    MovieEncoder* encoder = Open(target, "ffv1", 64, 64, failure);
    ASSERT_NE(encoder, nullptr);
    bool written = true;
    for (int seed = 0; seed < 100 && written; ++seed) {
        Frame frame(64, 64, seed);
        for (std::size_t i = 0; i < frame.bytes.size(); ++i)
            frame.bytes[i] = std::uint8_t((i * 2654435761u + seed * 40503u) >> 13);
        written = movie->write(encoder, frame.bytes.data(), frame.pitch, failure);
    }
    if (written) {
        EXPECT_FALSE(movie->finish(encoder, failure));
    } else {
        movie->discard(encoder);
    }
    EXPECT_EQ(failure.cause, Cause::File);
    EXPECT_EQ(failure.error, ENOSPC);
    EXPECT_EQ(ReadAll(target), kOldMovie);
    EXPECT_EQ(Entries(dir), std::set<std::string> {"m.mkv"});
}
} // namespace
