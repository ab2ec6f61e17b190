#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>

#include "dialogs/NumberText.h"
#include "view/CoordinateText.h"

namespace {
TEST(FormatDouble, GeneralFormWithFifteenDigits)
{
    EXPECT_EQ(FormatDouble(-0.5), "-0.5");
    EXPECT_EQ(FormatDouble(0.0), "0");
    EXPECT_EQ(FormatDouble(1.0), "1");
    EXPECT_EQ(FormatDouble(10.0), "10");
    EXPECT_EQ(FormatDouble(0.1), "0.1");
    EXPECT_EQ(FormatDouble(-0.743643887037151), "-0.743643887037151");
    EXPECT_EQ(FormatDouble(1e20), "1e+20");
    EXPECT_EQ(FormatDouble(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FormatInteger(50), "50");
}

struct ParseCase {
    const char* text;
    bool ok;
    double value;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << '"' << c.text << '"' << (c.ok ? " reads" : " refused"); }
class ParseDoubleCases : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseDoubleCases, AcceptsFiniteDecimalsOnly)
{
    const auto parsed = ParseDouble(GetParam().text);
    ASSERT_EQ(parsed.has_value(), GetParam().ok) << GetParam().text;
    if (parsed) {
        EXPECT_EQ(*parsed, GetParam().value) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseDoubleCases,
    testing::Values(ParseCase {"-0.5", true, -0.5}, ParseCase {"+2", true, 2}, ParseCase {".5", true, 0.5},
                    ParseCase {"5.", true, 5}, ParseCase {"1e3", true, 1000}, ParseCase {"1E-3", true, 0.001},
                    ParseCase {" 7 ", true, 7}, ParseCase {"-0", true, -0.0}, ParseCase {"", false, 0},
                    ParseCase {"abc", false, 0}, ParseCase {"1,5", false, 0}, ParseCase {"nan", false, 0},
                    ParseCase {"inf", false, 0}, ParseCase {"-infinity", false, 0}, ParseCase {"1e400", false, 0},
                    ParseCase {"1e", false, 0}, ParseCase {"e5", false, 0}, ParseCase {".", false, 0},
                    ParseCase {"0x10", false, 0}, ParseCase {"1..2", false, 0}, ParseCase {"--1", false, 0},
                    ParseCase {"1.79769313486232e+308", true, std::numeric_limits<double>::max()},
                    ParseCase {"-1.797693134862316e308", true, -std::numeric_limits<double>::max()},
                    ParseCase {"1.79769313486233e308", false, 0}, ParseCase {"-1e309", false, 0},
                    ParseCase {"1e-400", false, 0}));

TEST(NumberText, EveryShownDoubleIsTakenBackAndThenStaysTheSame)
{
    constexpr double kMax = std::numeric_limits<double>::max();
    for (double value : {kMax, -kMax, std::nextafter(kMax, 0.0), 1.7976931348623150e308, 0.1 + 0.2, -0.0,
                         std::numeric_limits<double>::min(), std::numeric_limits<double>::denorm_min(), 1e308}) {
        const std::string shown = FormatDouble(value);
        const auto read = ParseDouble(shown);
        ASSERT_TRUE(read.has_value()) << shown;
        EXPECT_EQ(FormatDouble(*read), shown);
        EXPECT_EQ(ParseDouble(FormatDouble(*read)), read) << shown;
    }
}

TEST(ParseInteger, DigitsWithinRange)
{
    EXPECT_EQ(ParseInteger("5000"), 5000);
    EXPECT_EQ(ParseInteger("0"), 0);
    EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
    EXPECT_FALSE(ParseInteger("2147483648"));
    EXPECT_FALSE(ParseInteger(""));
    EXPECT_FALSE(ParseInteger("-1"));
    EXPECT_FALSE(ParseInteger("12a"));
}

TEST(NumberText, IgnoresAFrenchLocale)
{
    if (!std::setlocale(LC_ALL, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no French locale on this machine";
    char comma[8];
    std::snprintf(comma, sizeof comma, "%.1f", 0.5);
    ASSERT_STREQ(comma, "0,5");
    EXPECT_EQ(FormatDouble(-0.5), "-0.5");
    EXPECT_EQ(ParseDouble("0.5"), 0.5);
    EXPECT_EQ(ParseDouble("-1.79769313486232e+308"), -std::numeric_limits<double>::max());
    EXPECT_EQ(CoordinateText("x: ", -2.3), "x: -2.3000000000");
    std::setlocale(LC_ALL, "C");
}

TEST(CoordinateText, FixedTenDecimalsThatFitTwentyFourCharacters)
{
    EXPECT_EQ(CoordinateText("x: ", -2.3), "x: -2.3000000000");
    EXPECT_EQ(CoordinateText("y: ", 1.35), "y: 1.3500000000");
    EXPECT_EQ(CoordinateText("y: ", 0.0), "y: 0.0000000000");
    EXPECT_EQ(CoordinateText("x: ", 123456789.0), "x: 123456789.0000000000");
    for (double v : {1e10, -1e10, 1e13, -1e12, 1e300, -1.7976931348623157e308, 5e-324,
                     std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        const std::string text = CoordinateText("x: ", v);
        EXPECT_LE(text.size(), 24u) << text;
        EXPECT_EQ(text.rfind("x: ", 0), 0u);
        EXPECT_GT(text.size(), 3u);
    }
    EXPECT_EQ(CoordinateText("x: ", -1e12), "x: -1.000000000e+12");
}

TEST(CoordinateText, LongLabelsAreCutToTheTextAndLeaveNoNumber)
{
    const std::string label(40, 'L');
    EXPECT_EQ(CoordinateText(label.c_str(), 1.0), label.substr(0, 24));
    EXPECT_EQ(CoordinateText(label.substr(0, 24).c_str(), 1.0), label.substr(0, 24));
    EXPECT_EQ(CoordinateText(label.substr(0, 20).c_str(), 1.0), label.substr(0, 20));
    EXPECT_EQ(CoordinateText(label.substr(0, 12).c_str(), 1.0), label.substr(0, 12) + "1.0000000000");
}
} // namespace
