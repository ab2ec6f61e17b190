#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/EncoderChoice.h"
#include "platform/Kernel32.h"

namespace {
CLSID Id(DWORD n) { return {n, 0, 0, {}}; }

ImageCodecInfo Encoder(DWORD id, const WCHAR* patterns)
{
    ImageCodecInfo info {};
    info.Clsid = Id(id);
    info.FilenameExtension = patterns;
    return info;
}

const std::u16string kLongExtension(200, u'Q');
const std::u16string kLongPattern = u"*." + kLongExtension;

// Shaped like the platform's list, with the traps the choice must get past:
// empty pieces, an extension two encoders list, one longer than 128 characters.
const std::vector<ImageCodecInfo> kEncoders = {
    Encoder(1, u"*.BMP;*.DIB;*.RLE"),
    Encoder(2, u"*.JPG;*.JPEG;*.JPE;*.JFIF"),
    Encoder(3, u";;*.PNG;;"),
    Encoder(4, u"*.XYZ;*.PNG"),
    Encoder(5, nullptr),
    Encoder(6, kLongPattern.c_str()),
    Encoder(7, u"*.TAR.GZ"),
};

struct ChoiceCase {
    std::string path;
    CLSID expected;
};

TEST(ChooseEncoder, TakesTheFirstEncoderListingTheFileNameExtension)
{
    const std::vector<ChoiceCase> cases = {
        {"/tmp/picture.bmp", Id(1)},
        {"/tmp/picture.BMP", Id(1)},
        {"/tmp/picture.Dib", Id(1)},
        {"/tmp/picture.rle", Id(1)},
        {"/tmp/picture.jpg", Id(2)},
        {"/tmp/picture.jpeg", Id(2)},
        {"/tmp/picture.JFIF", Id(2)},
        {"/tmp/picture.png", Id(3)},
        {"/tmp/picture.PNG", Id(3)},
        {"/tmp/picture.xyz", Id(4)},
        {"/tmp/a.b.bmp", Id(1)},
        {"/tmp/dir.png/picture.jpe", Id(2)},
        {"/tmp/Mandelbrot \xC3\xA9 \xC3\xA0 \xC3\xBC.png", Id(3)},
        {"/tmp/picture." + std::string(200, 'q'), Id(6)},
        // A pattern's extension is its last one too.
        {"/tmp/picture.tar.gz", Id(7)},
        {"/tmp/picture.gz", Id(7)},
        {"/tmp/picture.tar", GUID_NULL},
        {"/tmp/dir.bmp/picture", GUID_NULL},
        {"/tmp/picture", GUID_NULL},
        {"/tmp/picture.", GUID_NULL},
        {"/tmp/picture.gif", GUID_NULL},
        {"/tmp/picture.bm", GUID_NULL},
        {"/tmp/picture.bmpx", GUID_NULL},
        {"/tmp/picture.png;", GUID_NULL},
        {"/tmp/picture." + std::string(199, 'q'), GUID_NULL},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.path);
        const CLSID chosen = ChooseEncoder(c.path.c_str(), kEncoders.data(), UINT(kEncoders.size()), CP_THREAD_ACP);
        EXPECT_EQ(chosen.Data1, c.expected.Data1);
        EXPECT_TRUE(chosen == c.expected);
    }
}

TEST(ChooseEncoder, MatchesAccentedExtensionsThroughTheCodePage)
{
    const std::vector<ImageCodecInfo> encoders = {Encoder(8, u"*.\u00E9T\u00C9")};
    EXPECT_TRUE(ChooseEncoder("/tmp/a.\xC3\xA9t\xC3\x89", encoders.data(), 1, CP_UTF8) == Id(8));
    // Accented letters are compared as they are, like the C runtime does.
    EXPECT_TRUE(ChooseEncoder("/tmp/a.\xC3\xA9T\xC3\xA9", encoders.data(), 1, CP_UTF8) == GUID_NULL);
}

TEST(ChooseEncoder, FindsNothingInAnEmptyList)
{
    EXPECT_TRUE(ChooseEncoder("/tmp/picture.png", nullptr, 0, CP_THREAD_ACP) == GUID_NULL);
}
} // namespace
