#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/Kernel32.h"

namespace {
constexpr WCHAR kUntouched = 0x7777;

// Converts `length` bytes through a size query, then into a buffer of exactly that size.
std::u16string Convert(const std::string& text, int length, UINT codePage = CP_UTF8, DWORD flags = 0)
{
    const int needed = MultiByteToWideChar(codePage, flags, text.c_str(), length, nullptr, 0);
    if (needed == 0)
        return u"<failed>";
    std::u16string out(needed + 1, kUntouched);
    const int written = MultiByteToWideChar(codePage, flags, text.c_str(), length, out.data(), needed);
    EXPECT_EQ(written, needed);
    EXPECT_EQ(out[needed], kUntouched) << "wrote past the size it asked for";
    out.resize(needed);
    return out;
}

TEST(MultiByteToWideChar, ConvertsTheTerminatorWhenLengthIsMinusOne)
{
    EXPECT_EQ(Convert("abc", -1), std::u16string(u"abc", 4));
    EXPECT_EQ(Convert("", -1), std::u16string(1, u'\0'));
    // é à ü: two bytes each in UTF-8, one UTF-16 unit each.
    EXPECT_EQ(Convert("\xC3\xA9 \xC3\xA0 \xC3\xBC", -1), std::u16string(u"\u00E9 \u00E0 \u00FC", 6));
}

TEST(MultiByteToWideChar, ConvertsExactlyTheGivenBytes)
{
    EXPECT_EQ(Convert("abc", 3), u"abc");
    EXPECT_EQ(Convert("abc", 2), u"ab");
    EXPECT_EQ(Convert(std::string("a\0b", 3), 3), std::u16string(u"a\0b", 3));
    // The path conversion of an image save: its length plus one, terminator included.
    const std::string path = "/tmp/Mandelbrot \xC3\xA9.png";
    EXPECT_EQ(Convert(path, int(path.size()) + 1), std::u16string(u"/tmp/Mandelbrot \u00E9.png", 22));
}

TEST(MultiByteToWideChar, DecodesEveryLengthOfSequence)
{
    EXPECT_EQ(Convert("\x7F", 1), u"\u007F");
    EXPECT_EQ(Convert("\xDF\xBF", 2), u"\u07FF");
    EXPECT_EQ(Convert("\xE2\x82\xAC", 3), u"\u20AC");
    EXPECT_EQ(Convert("\xEF\xBF\xBF", 3), u"\uFFFF");
    // Beyond the first plane: a surrogate pair.
    EXPECT_EQ(Convert("\xF0\x9F\x98\x80", 4), u"\U0001F600");
    EXPECT_EQ(Convert("\xF4\x8F\xBF\xBF", 4), u"\U0010FFFF");
}

TEST(MultiByteToWideChar, ReplacesEachIllFormedPiece)
{
    const struct {
        std::string bytes;
        std::u16string expected;
    } cases[] = {
        {"a\xFF" "b", u"a\uFFFDb"},
        {"\x80", u"\uFFFD"},
        {"\xE2\x82", u"\uFFFD"},           // truncated at the end: one replacement
        {"\xE2\x82z", u"\uFFFDz"},         // the byte that broke it is read afresh
        {"\xC0\xAF", u"\uFFFD\uFFFD"},     // overlong form of "/"
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // a surrogate, encoded
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // past U+10FFFF
        {"\xF0\x9F\x98", u"\uFFFD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        EXPECT_EQ(Convert(c.bytes, int(c.bytes.size())), c.expected);
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes.data(), int(c.bytes.size()), nullptr, 0), 0);
    }
    EXPECT_EQ(Convert("\xC3\xA9", 2, CP_UTF8, MB_ERR_INVALID_CHARS), u"\u00E9");
}

TEST(MultiByteToWideChar, FailsWhenTheOutputIsTooSmall)
{
    std::array<WCHAR, 8> out {};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, out.data(), 3), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, out.data(), 4), 4);
    // A surrogate pair needs both of its units.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xF0\x9F\x98\x80", 4, out.data(), 1), 0);
}

TEST(MultiByteToWideChar, RefusesBadArguments)
{
    WCHAR out[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, out, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -2, out, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, out, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, out, -1), 0);
    EXPECT_EQ(out[0], kUntouched);
}

TEST(MultiByteToWideChar, ReadsTheAnsiPagesAsUtf8)
{
    for (UINT codePage : {CP_ACP, CP_THREAD_ACP, CP_UTF8})
        EXPECT_EQ(Convert("\xC3\xA9.png", -1, codePage), std::u16string(u"\u00E9.png", 6)) << codePage;
    EXPECT_EQ(Convert("\xC3\xA9", -1, CP_ACP, MB_PRECOMPOSED), std::u16string(u"\u00E9", 2));
    EXPECT_EQ(Convert("\xC3\xA9", -1, CP_THREAD_ACP, MB_PRECOMPOSED), std::u16string(u"\u00E9", 2));
    // Other code pages are not installed; UTF-8 takes no MB_PRECOMPOSED, as on Windows.
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, nullptr, 0), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "abc", -1, nullptr, 0), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0x80, "abc", -1, nullptr, 0), 0);
}
} // namespace
