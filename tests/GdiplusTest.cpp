#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <array>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "ProcessMemory.h"
#include "Sections.h"
#include "platform/Gdi32.h"
#include "platform/qt/Gdiplus.h"
#include "platform/qt/ImageEncoders.h"
#include "platform/Kernel32.h"
#include "platform/qt/QtBitmap.h"

namespace {
// GDI+'s published identifiers of its built-in encoders.
constexpr CLSID kBmpEncoder {0x557CF400, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr CLSID kJpegEncoder {0x557CF401, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr CLSID kTiffEncoder {0x557CF405, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr CLSID kPngEncoder {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

GdiplusStartupInput VersionOne()
{
    GdiplusStartupInput input {};
    input.GdiplusVersion = 1;
    return input;
}

std::u16string Upper(std::u16string text)
{
    for (WCHAR& c : text)
        c = c >= u'a' && c <= u'z' ? WCHAR(c - u'a' + u'A') : c;
    return text;
}

std::vector<std::u16string> Pieces(const WCHAR* patterns)
{
    std::vector<std::u16string> pieces;
    std::u16string piece;
    for (const WCHAR* p = patterns;; ++p) {
        if (*p == u';' || *p == 0) {
            if (!piece.empty())
                pieces.push_back(piece);
            piece.clear();
            if (*p == 0)
                return pieces;
        } else {
            piece += *p;
        }
    }
}

// Paints pixel (x, y), row 0 at the top, with a colour unique to that place.
COLORREF ColourAt(int x, int y) { return RGB(BYTE(10 + 40 * x), BYTE(20 + 70 * y), BYTE(5 * x + 3 * y)); }

void Paint(HBITMAP bitmap, int width, int height)
{
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bitmap);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            SetPixel(dc, x, y, ColourAt(x, y));
    DeleteDC(dc);
}

QRgb AsQRgb(COLORREF c) { return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

class Gdiplus : public testing::Test {
protected:
    void SetUp() override
    {
        const GdiplusStartupInput input = VersionOne();
        ASSERT_EQ(GdiplusStartup(&m_token, &input, nullptr), Ok);
    }
    void TearDown() override { GdiplusShutdown(m_token); }

    // The encoder list, fetched as a caller must: size first, then one block.
    void FetchEncoders()
    {
        ASSERT_EQ(GdipGetImageEncodersSize(&m_count, &m_size), Ok);
        m_block = std::make_unique<BYTE[]>(m_size);
        ASSERT_EQ(GdipGetImageEncoders(m_count, m_size, Encoders()), Ok);
    }
    ImageCodecInfo* Encoders() { return reinterpret_cast<ImageCodecInfo*>(m_block.get()); }

    ULONG_PTR m_token = 0;
    UINT m_count = 0;
    UINT m_size = 0;
    std::unique_ptr<BYTE[]> m_block;
};

TEST(GdiplusStartup, AcceptsOnlyVersionOne)
{
    GdiplusStartupInput input = VersionOne();
    ULONG_PTR first = 0, second = 0;
    ASSERT_EQ(GdiplusStartup(&first, &input, nullptr), Ok);
    ASSERT_EQ(GdiplusStartup(&second, &input, nullptr), Ok);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    GdiplusShutdown(first);
    GdiplusShutdown(second);

    input.GdiplusVersion = 2;
    ULONG_PTR refused = 0;
    EXPECT_EQ(GdiplusStartup(&refused, &input, nullptr), UnsupportedGdiplusVersion);
    EXPECT_EQ(refused, 0u);
    EXPECT_EQ(GdiplusStartup(&refused, nullptr, nullptr), InvalidParameter);
    EXPECT_EQ(GdiplusStartup(nullptr, &input, nullptr), InvalidParameter);
}

TEST(GdiplusStartup, NothingWorksUntilStartedOrAfterTheLastShutdown)
{
    UINT count = 0, size = 0;
    EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), GdiplusNotInitialized);
    const GdiplusStartupInput input = VersionOne();
    ULONG_PTR first = 0, second = 0;
    GdiplusStartup(&first, &input, nullptr);
    GdiplusStartup(&second, &input, nullptr);
    GdiplusShutdown(first);
    GdiplusShutdown(first); // a token stops only its own start, once
    EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
    GdiplusShutdown(second);
    EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), GdiplusNotInitialized);

    HBITMAP section = NewSection(2, 2);
    GpBitmap* bitmap = reinterpret_cast<GpBitmap*>(1);
    EXPECT_EQ(GdipCreateBitmapFromHBITMAP(section, nullptr, &bitmap), GdiplusNotInitialized);
    EXPECT_EQ(bitmap, nullptr);
    DeleteObject(section);
}

TEST_F(Gdiplus, ListsTheBuiltInEncodersFirstInTheirOrder)
{
    FetchEncoders();
    const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
    std::vector<std::u16string> expected;
    for (const auto& [format, description] : {std::pair {"bmp", u"BMP"}, {"jpeg", u"JPEG"}, {"gif", u"GIF"}, {"tiff", u"TIFF"}, {"png", u"PNG"}})
        if (writable.contains(format))
            expected.push_back(description);
    ASSERT_GE(m_count, expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(std::u16string(Encoders()[i].FormatDescription), expected[i]) << i;

    const std::vector<std::tuple<CLSID, std::u16string, std::u16string>> known = {
        {kBmpEncoder, u"BMP", u"*.BMP;*.DIB;*.RLE"},
        {kJpegEncoder, u"JPEG", u"*.JPG;*.JPEG;*.JPE;*.JFIF"},
        {kTiffEncoder, u"TIFF", u"*.TIF;*.TIFF"},
        {kPngEncoder, u"PNG", u"*.PNG"},
    };
    for (const auto& [clsid, description, patterns] : known) {
        const ImageCodecInfo* found = nullptr;
        for (UINT i = 0; i < m_count; ++i)
            if (Encoders()[i].Clsid == clsid)
                found = &Encoders()[i];
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(std::u16string(found->FormatDescription), description);
        EXPECT_EQ(std::u16string(found->FilenameExtension), patterns);
        EXPECT_EQ(found->Flags & ImageCodecFlagsEncoder, ImageCodecFlagsEncoder);
    }
}

TEST_F(Gdiplus, OffersAnEncoderForEveryFormatQtWrites)
{
    FetchEncoders();
    std::set<std::u16string> patterns;
    std::set<std::array<BYTE, sizeof(CLSID)>> ids;
    for (UINT i = 0; i < m_count; ++i) {
        for (const std::u16string& piece : Pieces(Encoders()[i].FilenameExtension))
            EXPECT_TRUE(patterns.insert(Upper(piece)).second) << "two encoders list the same pattern";
        std::array<BYTE, sizeof(CLSID)> id {};
        std::memcpy(id.data(), &Encoders()[i].Clsid, id.size());
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), m_count) << "class identifiers must differ";
    for (const QByteArray& format : QImageWriter::supportedImageFormats())
        EXPECT_EQ(patterns.count(Upper(u"*." + QString::fromLatin1(format).toStdU16String())), 1u) << format.constData();
}

// The list is read from the plugins' metadata, loading none of them, and
// still names only formats Qt writes.
TEST(ImageEncoders, ListOnlyFormatsQtWritesWithoutLoadingAnyPlugin)
{
    // CTest runs each case in a process of its own; after other cases, one may have saved.
    const bool fresh = !Mapped("/imageformats/");
    const std::vector<const ImageEncoder*> listed = AvailableEncoders();
    if (fresh) {
        EXPECT_FALSE(Mapped("/imageformats/"));
    }
    const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
    for (const ImageEncoder* encoder : listed)
        EXPECT_TRUE(writable.contains(encoder->qtFormat)) << encoder->qtFormat;
    EXPECT_TRUE(IsBuiltIntoQt(kPngEncoder));
    EXPECT_TRUE(IsBuiltIntoQt(kBmpEncoder));
    EXPECT_FALSE(IsBuiltIntoQt(kJpegEncoder));
    EXPECT_FALSE(IsBuiltIntoQt(GUID_NULL));
}

TEST_F(Gdiplus, KeepsEveryStringInsideTheReportedBlock)
{
    FetchEncoders();
    const auto* begin = reinterpret_cast<const BYTE*>(Encoders() + m_count);
    const BYTE* end = m_block.get() + m_size;
    const BYTE* furthest = begin;
    for (UINT i = 0; i < m_count; ++i) {
        const ImageCodecInfo& e = Encoders()[i];
        EXPECT_EQ(e.DllName, nullptr);
        for (const WCHAR* text : {e.CodecName, e.FormatDescription, e.FilenameExtension, e.MimeType}) {
            ASSERT_NE(text, nullptr);
            const auto* first = reinterpret_cast<const BYTE*>(text);
            const auto* last = reinterpret_cast<const BYTE*>(text + std::u16string_view(text).size() + 1);
            EXPECT_GE(first, begin);
            EXPECT_LE(last, end);
            furthest = std::max(furthest, last);
        }
    }
    EXPECT_EQ(furthest, end) << "the reported size should be exactly what the list takes";
}

TEST_F(Gdiplus, RefusesABlockOfAnotherSize)
{
    ASSERT_EQ(GdipGetImageEncodersSize(&m_count, &m_size), Ok);
    auto block = std::make_unique<BYTE[]>(m_size + 64);
    auto* encoders = reinterpret_cast<ImageCodecInfo*>(block.get());
    EXPECT_EQ(GdipGetImageEncoders(m_count, m_size - 1, encoders), GenericError);
    EXPECT_EQ(GdipGetImageEncoders(m_count + 1, m_size, encoders), GenericError);
    EXPECT_EQ(GdipGetImageEncoders(m_count, m_size + 64, encoders), GenericError);
    EXPECT_EQ(GdipGetImageEncoders(m_count, m_size, nullptr), InvalidParameter);
}

TEST_F(Gdiplus, CopiesBitmapsUprightWhateverTheirRowOrder)
{
    const int width = 3, height = 4;
    for (HBITMAP source : {NewSection(width, height), NewSection(width, -height), CreateCompatibleBitmap(nullptr, width, height)}) {
        ASSERT_NE(source, nullptr);
        Paint(source, width, height);
        GpBitmap* bitmap = nullptr;
        ASSERT_EQ(GdipCreateBitmapFromHBITMAP(source, nullptr, &bitmap), Ok);
        const QImage& picture = dynamic_cast<QtBitmap&>(*bitmap).Picture();
        ASSERT_EQ(picture.size(), QSize(width, height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                EXPECT_EQ(picture.pixel(x, y), AsQRgb(ColourAt(x, y))) << x << "," << y;
        EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
        DeleteObject(source);
    }
    GpBitmap* bitmap = reinterpret_cast<GpBitmap*>(1);
    EXPECT_EQ(GdipCreateBitmapFromHBITMAP(nullptr, nullptr, &bitmap), InvalidParameter);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(GdipDisposeImage(nullptr), InvalidParameter);
}

TEST_F(Gdiplus, SavesWithAKnownEncoderOnly)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    HBITMAP section = NewSection(5, 3);
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromHBITMAP(section, nullptr, &bitmap), Ok);
    const std::u16string path = (dir.path() + "/picture.out").toStdU16String();

    const CLSID unknown {0x12345678, 0, 0, {}};
    EXPECT_EQ(GdipSaveImageToFile(bitmap, path.c_str(), &unknown, nullptr), UnknownImageFormat);
    EncoderParameters quality {};
    quality.Count = 1;
    EXPECT_EQ(GdipSaveImageToFile(bitmap, path.c_str(), &kJpegEncoder, &quality), NotImplemented);
    EXPECT_EQ(GdipSaveImageToFile(nullptr, path.c_str(), &kPngEncoder, nullptr), InvalidParameter);
    EXPECT_EQ(GdipSaveImageToFile(bitmap, nullptr, &kPngEncoder, nullptr), InvalidParameter);
    EXPECT_EQ(GdipSaveImageToFile(bitmap, path.c_str(), nullptr, nullptr), InvalidParameter);
    EXPECT_FALSE(QFile::exists(dir.path() + "/picture.out"));

    EncoderParameters none {};
    ASSERT_EQ(GdipSaveImageToFile(bitmap, path.c_str(), &kBmpEncoder, &none), Ok);
    QFile written(dir.path() + "/picture.out");
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.read(2), QByteArray("BM"));
    GdipDisposeImage(bitmap);
    DeleteObject(section);
}
// A lone surrogate stands for no file-name bytes; written as a replacement
// character, it would name another file.
TEST_F(Gdiplus, RefusesAPathThatIsNotText)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    HBITMAP section = NewSection(5, 3);
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromHBITMAP(section, nullptr, &bitmap), Ok);
    const std::u16string path = (dir.path() + "/v").toStdU16String() + u'\xD800' + u".bmp";
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GdipSaveImageToFile(bitmap, path.c_str(), &kBmpEncoder, nullptr), Win32Error);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    GdipDisposeImage(bitmap);
    DeleteObject(section);
}
} // namespace
