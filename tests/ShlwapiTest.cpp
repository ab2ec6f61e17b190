#include <gtest/gtest.h>

#include <string>

#include "platform/Shlwapi.h"

namespace {
struct ExtensionCase {
    const char* path;
    const char* extension;
};

// Each extension must be the tail of the path itself, not a copy of it.
TEST(PathFindExtensionA, PointsAtTheLastDotOfTheFileName)
{
    const ExtensionCase cases[] = {
        {"/tmp/picture.png", ".png"},
        {"/tmp/picture.PNG", ".PNG"},
        {"/tmp/a.b.bmp", ".bmp"},
        {"/tmp/dir.v2/picture", ""},
        {"/tmp/dir.v2/", ""},
        {"/tmp/dir.v2/picture.jpg", ".jpg"},
        {"picture", ""},
        {"", ""},
        {"picture.", "."},
        {"/tmp/.hidden", ".hidden"},
        {"/tmp/Mandelbrot \xC3\xA9.png", ".png"},
        // A backslash is an ordinary character in a Linux file name.
        {"/tmp/x.d\\name", ".d\\name"},
        {"/tmp/a\\b.png", ".png"},
    };
    for (const ExtensionCase& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string path = c.path;
        const char* found = PathFindExtensionA(path.c_str());
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found, path.c_str() + path.size() - std::string(c.extension).size());
        EXPECT_STREQ(found, c.extension);
    }
}

TEST(PathFindExtensionA, GivesNullForNull) { EXPECT_EQ(PathFindExtensionA(nullptr), nullptr); }

TEST(PathFindExtensionW, FindsThePatternExtension)
{
    const struct {
        const WCHAR* pattern;
        const WCHAR* extension;
    } cases[] = {
        {u"*.PNG", u".PNG"},
        {u"*.JPEG", u".JPEG"},
        {u"*.tar.gz", u".gz"},
        {u"*", u""},
        {u"dir.d/*", u""},
    };
    for (const auto& c : cases) {
        const std::u16string pattern = c.pattern;
        const WCHAR* found = PathFindExtensionW(pattern.c_str());
        EXPECT_EQ(std::u16string(found), c.extension);
        EXPECT_EQ(found + std::u16string(found).size(), pattern.c_str() + pattern.size());
    }
    EXPECT_EQ(PathFindExtensionW(nullptr), nullptr);
}
} // namespace
