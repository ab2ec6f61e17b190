#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <sys/stat.h>

#include "FolderFiles.h"
#include "SmallDisk.h"
#include "render/CDibImage.h"
#include "platform/Gdi32.h"
#include "platform/Kernel32.h"

namespace fs = std::filesystem;

namespace {
constexpr int kWidth = 63; // 189 bytes a row: the section pads rows to 192
constexpr int kHeight = 47;

// A smooth picture (so JPEG keeps it close) whose rows all differ: a picture
// stored upside down cannot pass for it.
QRgb ExpectedAt(int x, int y) { return qRgb(4 * x, 5 * y, 2 * (x + y)); }

void Paint(CDibImage& image)
{
    HDC dc = image.GetImageDC();
    for (int y = 0; y < image.m_height; ++y)
        for (int x = 0; x < image.m_width; ++x)
            SetPixel(dc, x, y, RGB(BYTE(qRed(ExpectedAt(x, y))), BYTE(qGreen(ExpectedAt(x, y))), BYTE(qBlue(ExpectedAt(x, y)))));
    image.ReleaseImageDC();
}

// Decodes by content alone, so a file name cannot decide the format.
QImage Decode(const fs::path& path, QByteArray* format)
{
    QImageReader reader(QString::fromStdString(path.string()));
    reader.setDecideFormatFromContent(true);
    *format = reader.format();
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

// Largest and mean difference over every channel of every pixel.
void CompareWithPicture(const QImage& decoded, double* largest, double* mean)
{
    double sum = 0;
    *largest = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const QRgb got = decoded.pixel(x, y);
            const QRgb want = ExpectedAt(x, y);
            for (const double d : {qRed(got) - qRed(want), qGreen(got) - qGreen(want), qBlue(got) - qBlue(want)}) {
                *largest = std::max(*largest, std::abs(d));
                sum += std::abs(d);
            }
        }
    }
    *mean = sum / (3.0 * kWidth * kHeight);
}

class ImageSave : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/nivo-image-save-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        m_image.CreateDib(kWidth, kHeight);
        ASSERT_NE(m_image.m_bitmap, nullptr);
        Paint(m_image);
    }
    void TearDown() override { fs::remove_all(dir); }

    HRESULT Save(const fs::path& path) const { return m_image.Save(path.string().c_str()); }

    fs::path dir;
    CDibImage m_image;
};

struct WrittenCase {
    const char* name;
    std::string magic;
    std::size_t magicAt;
    const char* format;
    bool lossless;
};

TEST_F(ImageSave, WritesTheFormatTheExtensionNames)
{
    const WrittenCase cases[] = {
        {"picture.PNG", "\x89PNG\r\n\x1A\n", 0, "png", true},
        {"picture.png", "\x89PNG\r\n\x1A\n", 0, "png", true},
        {"picture.jpeg", "\xFF\xD8\xFF", 0, "jpeg", false},
        {"picture.jpg", "\xFF\xD8\xFF", 0, "jpeg", false},
        {"picture.bmp", "BM", 0, "bmp", true},
        {"picture.DIB", "BM", 0, "bmp", true},
        {"a.b.bmp", "BM", 0, "bmp", true},
        // Not offered by the dialog, yet reached by typing the extension.
        {"picture.tif", "II*", 0, "tiff", true},
        {"picture.webp", "WEBP", 8, "webp", false},
    };
    for (const WrittenCase& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = dir / c.name;
        ASSERT_EQ(Save(path), S_OK);
        EXPECT_EQ(ReadAll(path).substr(c.magicAt, c.magic.size()), c.magic);
        QByteArray format;
        const QImage decoded = Decode(path, &format);
        EXPECT_EQ(format, QByteArray(c.format));
        ASSERT_EQ(decoded.size(), QSize(kWidth, kHeight));
        double largest = 0, mean = 0;
        CompareWithPicture(decoded, &largest, &mean);
        if (c.lossless) {
            EXPECT_EQ(largest, 0);
        } else {
            // Measured here: JPEG 1.2 and 8, WebP 2.0 and 12; upside down would be about 55 on average.
            EXPECT_LT(mean, 4.0);
            EXPECT_LT(largest, 32);
        }
    }
    EXPECT_EQ(Entries(dir).size(), std::size(cases)) << "no temporary file may be left";
}

TEST_F(ImageSave, KeepsAnAccentedFileNameAsTyped)
{
    const std::string name = "Mandelbrot \xC3\xA9 \xC3\xA0 \xC3\xBC.png";
    ASSERT_EQ(Save(dir / name), S_OK);
    EXPECT_EQ(Entries(dir), std::set<std::string> {name});
    EXPECT_EQ(ReadAll(dir / name).substr(0, 4), "\x89PNG");
}

TEST_F(ImageSave, FailsWithoutAnEncoderForTheFileName)
{
    fs::create_directory(dir / "dir.v2");
    for (const char* name : {"dir.v2/picture", "picture", "picture.", "picture.xyz", "picture.png.part"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Save(dir / name), E_FAIL);
    }
    EXPECT_EQ(Entries(dir), std::set<std::string> {"dir.v2"});
    EXPECT_TRUE(fs::is_empty(dir / "dir.v2"));
}

TEST_F(ImageSave, FailsWhereNoFileCanBeWritten)
{
    fs::create_directory(dir / "folder.png");
    ASSERT_EQ(mkfifo((dir / "pipe.png").c_str(), 0644), 0);
    EXPECT_EQ(Save(dir / "missing" / "picture.png"), E_FAIL);
    EXPECT_EQ(Save(dir / "folder.png"), E_FAIL);
    EXPECT_EQ(Save(dir / "pipe.png"), E_FAIL);
    EXPECT_EQ(Entries(dir), (std::set<std::string> {"folder.png", "pipe.png"}));
    EXPECT_TRUE(fs::is_empty(dir / "folder.png"));
    EXPECT_TRUE(fs::is_fifo(dir / "pipe.png"));
}

TEST_F(ImageSave, FailsForAnEmptyImageOrNoPath)
{
    const CDibImage empty;
    EXPECT_EQ(empty.Save((dir / "empty.png").string().c_str()), E_FAIL);
    EXPECT_EQ(m_image.Save(nullptr), E_FAIL);
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(ImageSave, ReplacesAnOldFileAndFollowsASymbolicLink)
{
    WriteAll(dir / "picture.png", "old picture");
    ASSERT_EQ(Save(dir / "picture.png"), S_OK);
    QByteArray format;
    EXPECT_EQ(Decode(dir / "picture.png", &format).size(), QSize(kWidth, kHeight));

    fs::create_symlink("target.png", dir / "link.png");
    ASSERT_EQ(Save(dir / "link.png"), S_OK);
    EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
    EXPECT_EQ(ReadAll(dir / "target.png").substr(0, 4), "\x89PNG");
    EXPECT_EQ(Entries(dir), (std::set<std::string> {"link.png", "picture.png", "target.png"}));
}

TEST_F(ImageSave, LeavesTheImageAsItWas)
{
    const HBITMAP bitmap = m_image.m_bitmap;
    const BYTE* topRow = m_image.m_topRow;
    ASSERT_EQ(Save(dir / "picture.bmp"), S_OK);
    EXPECT_EQ(m_image.m_bitmap, bitmap);
    EXPECT_EQ(m_image.m_topRow, topRow);
    EXPECT_EQ(m_image.m_pitch, -192);
    QByteArray format;
    double largest = 0, mean = 0;
    CompareWithPicture(Decode(dir / "picture.bmp", &format), &largest, &mean);
    EXPECT_EQ(largest, 0);
}

class ImageSaveOnSmallDisk : public OnSmallDisk<ImageSave> {};

const std::string kOldBytes(1000, 'o');

TEST_F(ImageSaveOnSmallDisk, KeepsTheOldFileWhenTheDiskFills)
{
    ASSERT_EQ(Save(dir / "small.png"), S_OK) << "a small picture still fits";
    fs::remove(dir / "small.png");
    WriteAll(dir / "old.bmp", kOldBytes);

    // Uncompressed, 300 x 200 takes 180 000 bytes, far beyond the 64 KiB.
    CDibImage large;
    large.CreateDib(300, 200);
    ASSERT_NE(large.m_bitmap, nullptr);
    EXPECT_EQ(large.Save((dir / "old.bmp").string().c_str()), E_FAIL);
    EXPECT_EQ(large.Save((dir / "new.bmp").string().c_str()), E_FAIL);
    EXPECT_TRUE(ReadAll(dir / "old.bmp") == kOldBytes) << "the old file was overwritten";
    EXPECT_EQ(Entries(dir), std::set<std::string> {"old.bmp"});
}

TEST_F(ImageSaveOnSmallDisk, KeepsTheOldFileInAReadOnlyFolder)
{
    WriteAll(dir / "old.png", kOldBytes);
    ASSERT_TRUE(disk->MakeReadOnly());
    EXPECT_EQ(Save(dir / "old.png"), E_FAIL);
    EXPECT_EQ(Save(dir / "new.png"), E_FAIL);
    EXPECT_TRUE(ReadAll(dir / "old.png") == kOldBytes) << "the old file was overwritten";
    EXPECT_EQ(Entries(dir), std::set<std::string> {"old.png"});
}
} // namespace

namespace {
// A picture whose PNG and JPEG files are far larger than a few kilobytes.
void PaintNoise(CDibImage& image)
{
    std::uint32_t state = 12345;
    for (int r = 0; r < image.m_height; ++r)
        for (int c = 0; c < image.m_width * 3; ++c) {
            state = state * 1664525u + 1013904223u;
            image.m_topRow[r * image.m_pitch + c] = static_cast<BYTE>(state >> 24);
        }
}

class ImageSaveOnFillingDisk : public ImageSaveOnSmallDisk, public testing::WithParamInterface<const char*> {};

// Room for part of the new file but not all of it: the disk fills during
// the last writes, after the file was created and had bytes in it.
TEST_P(ImageSaveOnFillingDisk, KeepsTheOldFileAndSaysTheDiskIsFull)
{
    const fs::path old = dir / (std::string("old.") + GetParam());
    const std::string oldBytes(20000, 'o');
    WriteAll(old, oldBytes);
    CDibImage noise;
    noise.CreateDib(100, 100);
    ASSERT_NE(noise.m_bitmap, nullptr);
    PaintNoise(noise);
    ASSERT_TRUE(disk->Fill("filler", 4096));
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(noise.Save(old.string().c_str()), E_FAIL);
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_TRUE(ReadAll(old) == oldBytes) << "the old file was changed";
    EXPECT_EQ(Entries(dir), (std::set<std::string> {"filler", old.filename().string()}));
    // With room again the same save goes through.
    fs::remove(dir / "filler");
    EXPECT_EQ(noise.Save(old.string().c_str()), S_OK);
    EXPECT_GT(fs::file_size(old), 4096u);
}

INSTANTIATE_TEST_SUITE_P(Formats, ImageSaveOnFillingDisk, testing::Values("png", "jpg", "bmp"));

TEST_F(ImageSave, RefusesANameThatIsNotTextRatherThanWriteAnother)
{
    // What the name would become once decoded with a replacement character.
    WriteAll(dir / "v\xEF\xBF\xBD.png", kOldBytes);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(Save(dir / "v\xFF.png"), E_FAIL);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_TRUE(ReadAll(dir / "v\xEF\xBF\xBD.png") == kOldBytes);
    EXPECT_EQ(Entries(dir), std::set<std::string> {"v\xEF\xBF\xBD.png"});
}

TEST_F(ImageSave, SaysWhyTheFileWasNotWritten)
{
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(Save(dir / "absent" / "x.png"), E_FAIL);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    fs::create_directory(dir / "folder.png");
    EXPECT_EQ(Save(dir / "folder.png"), E_FAIL);
    EXPECT_EQ(GetLastError(), ERROR_BAD_FILE_TYPE);
    // Wider than a JPEG header can say.
    CDibImage wide;
    wide.CreateDib(70000, 1);
    ASSERT_NE(wide.m_bitmap, nullptr);
    EXPECT_EQ(wide.Save((dir / "wide.jpg").string().c_str()), E_FAIL);
    EXPECT_EQ(GetLastError(), ERROR_FILE_TOO_LARGE);
    EXPECT_EQ(wide.Save((dir / "wide.png").string().c_str()), S_OK);
}

// A file holds the picture it was given, or none is written.
TEST_F(ImageSave, WritesOnlyTheSizesAFormatHolds)
{
    const struct {
        const char* name;
        int width, height;
        DWORD error; // ERROR_SUCCESS: written
    } cases[] = {
        {"a.ico", 256, 256, ERROR_SUCCESS},  {"b.ico", 257, 16, ERROR_FILE_TOO_LARGE},
        {"c.cur", 16, 300, ERROR_FILE_TOO_LARGE},
        {"d.icns", 16, 16, ERROR_SUCCESS},   {"e.icns", 256, 256, ERROR_SUCCESS},
        {"f.icns", 100, 30, ERROR_INVALID_DATA}, {"g.icns", 2048, 2048, ERROR_FILE_TOO_LARGE},
        {"h.ppm", 40000, 1, ERROR_SUCCESS}, // more than Qt reads back
    };
    for (const auto& c : cases) {
        CDibImage image;
        image.CreateDib(c.width, c.height);
        ASSERT_NE(image.m_bitmap, nullptr) << c.name;
        const bool holds = c.error == ERROR_SUCCESS;
        EXPECT_EQ(image.Save((dir / c.name).string().c_str()), holds ? S_OK : E_FAIL) << c.name;
        if (!holds) {
            EXPECT_EQ(GetLastError(), c.error) << c.name;
        }
        EXPECT_EQ(fs::exists(dir / c.name), holds) << c.name;
    }
    EXPECT_EQ(QImageReader(QString::fromStdString((dir / "e.icns").string())).read().size(), QSize(256, 256));
    EXPECT_EQ(ReadAll(dir / "h.ppm").substr(0, 11), "P6\n40000 1\n");
}
} // namespace
