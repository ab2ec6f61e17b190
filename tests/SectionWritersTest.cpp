// BMP files written from a section's rows must be the bytes Qt's writer
// gives the same picture; PNG files must hold its pixels.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <random>
#include <vector>

#include "HelperThreads.h"
#include "platform/SectionWriters.h"

namespace {
struct Section {
    std::int32_t width, height;
    bool bottomUp;
    std::vector<BYTE> bytes;

    std::int64_t Stride() const { return (std::int64_t(width) * 24 + 31) / 32 * 4; }
    SectionRows Rows() const
    {
        const BYTE* first = bytes.data();
        const std::int64_t stride = Stride();
        return bottomUp ? SectionRows {first + (height - 1) * stride, -stride, width, height, 3780, 3780}
                        : SectionRows {first, stride, width, height, 3780, 3780};
    }
    // Pixels of every colour, padding zero as in a new section.
    static Section Random(std::int32_t width, std::int32_t height, bool bottomUp)
    {
        Section s {width, height, bottomUp, std::vector<BYTE>(std::size_t(s.Stride() * height))};
        std::mt19937 random(width * 31 + height);
        for (std::int32_t r = 0; r < height; ++r)
            for (std::int64_t i = 0; i < std::int64_t(width) * 3; ++i)
                s.bytes[std::size_t(r * s.Stride() + i)] = static_cast<BYTE>(random());
        return s;
    }
    QImage Picture() const
    {
        QImage picture(width, height, QImage::Format_RGB888);
        const SectionRows rows = Rows();
        for (int r = 0; r < height; ++r)
            for (int c = 0; c < width; ++c) {
                const BYTE* p = rows.topRow + r * rows.pitch + c * 3;
                picture.setPixel(c, r, qRgb(p[2], p[1], p[0]));
            }
        picture.setDotsPerMeterX(3780);
        picture.setDotsPerMeterY(3780);
        return picture;
    }
};

QByteArray Written(const QImage& picture, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(picture);
    return bytes;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(SectionWriters, BmpAndPngHoldThePictureAsQtWritesIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string bmp = (dir.path() + "/p.bmp").toStdString(), png = (dir.path() + "/p.png").toStdString();
    for (const std::int32_t width : {1, 2, 3, 4, 5, 7, 8, 641})
        for (const std::int32_t height : {1, 3, 80, 81, 200})
            for (const bool bottomUp : {true, false}) {
                const Section section = Section::Random(width, height, bottomUp);
                const QImage picture = section.Picture();
                ASSERT_EQ(SectionWriters::WriteBmp(bmp, section.Rows()), 0);
                EXPECT_EQ(ReadAll(QString::fromStdString(bmp)), Written(picture, "bmp"))
                    << width << "x" << height << (bottomUp ? " bottom-up" : " top-down");
                ASSERT_EQ(SectionWriters::WritePng(png, section.Rows()), 0);
                const QImage read(QString::fromStdString(png));
                EXPECT_EQ(read.convertToFormat(QImage::Format_RGB888), picture)
                    << width << "x" << height << (bottomUp ? " bottom-up" : " top-down");
                EXPECT_EQ(read.dotsPerMeterX(), 3780);
            }
}

TEST(SectionWriters, AMissingFolderIsNamed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const Section section = Section::Random(9, 4, true);
    EXPECT_EQ(SectionWriters::WriteBmp((dir.path() + "/missing/p.bmp").toStdString(), section.Rows()), ENOENT);
    EXPECT_EQ(SectionWriters::WritePng((dir.path() + "/missing/p.png").toStdString(), section.Rows()), ENOENT);
}

// Bands of black rows, whose makers note where the threads writing them may run.
class WatchedBands : public RowBands {
public:
    WatchedBands(std::int32_t height, HelperThreads& helpers) : RowBands(1, height, 3780, 3780, 2), m_helpers(helpers)
    {
    }
    std::unique_ptr<Maker> NewMaker() const override { return std::make_unique<Black>(m_helpers); }
    void Written(std::int32_t, std::int32_t) const override {}

private:
    class Black : public Maker {
    public:
        explicit Black(HelperThreads& helpers) : m_helpers(helpers) {}
        SectionRows Rows(std::int32_t first, std::int32_t last) override
        {
            m_helpers.Work();
            m_row.assign(4 * std::size_t(last - first), 0);
            return {m_row.data(), 4, 1, last - first, 3780, 3780};
        }

    private:
        HelperThreads& m_helpers;
        std::vector<BYTE> m_row;
    };

    HelperThreads& m_helpers;
};

TEST(SectionWriters, BandHelpersRunOffTheCallersProcessor)
{
    if (HelperThreads::CallersProcessors() < 2)
        GTEST_SKIP() << "needs two processors";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const bool png : {false, true}) {
        HelperThreads helpers;
        const std::string target = (dir.path() + (png ? "/b.png" : "/b.bmp")).toStdString();
        const WatchedBands bands(400, helpers);
        ASSERT_EQ(png ? SectionWriters::WritePng(target, bands) : SectionWriters::WriteBmp(target, bands), 0);
        EXPECT_EQ(helpers.HelperProcessors(), HelperThreads::CallersProcessors() - 1) << (png ? "PNG" : "BMP");
    }
}
} // namespace
