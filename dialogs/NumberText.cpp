#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {
std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// [sign] (digits [. digits] | . digits) [(e|E) [sign] digits]
bool IsPlainDecimal(std::string_view s)
{
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < s.size() && IsDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        std::size_t exponent = 0;
        while (i < s.size() && IsDigit(s[i]))
            ++i, ++exponent;
        if (exponent == 0)
            return false;
    }
    return i == s.size();
}
} // namespace

std::string FormatInteger(std::int32_t value) { return std::to_string(value); }

std::string FormatDouble(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
    return std::string(text, result.ptr);
}

std::optional<std::int32_t> ParseInteger(std::string_view text)
{
    text = Trim(text);
    if (text.empty())
        return std::nullopt;
    for (char c : text)
        if (!IsDigit(c))
            return std::nullopt;
    std::int32_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

namespace {
// Fifteen digits round the largest doubles up past DBL_MAX: "%.15g" shows
// DBL_MAX as 1.79769313486232e+308, which overflows when read back. Up to that
// text, a number that overflows stands for the largest double of its sign, so
// the dialog takes back every value it shows.
std::optional<double> LargestShown(std::string_view text)
{
    constexpr double kMax = std::numeric_limits<double>::max();
    static const long double shownMax = [] {
        const std::string shown = FormatDouble(kMax);
        long double value = 0;
        std::from_chars(shown.data(), shown.data() + shown.size(), value);
        return value;
    }();
    long double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    const long double magnitude = std::fabs(value);
    if (result.ec != std::errc() || !(magnitude > kMax && magnitude <= shownMax))
        return std::nullopt;
    return std::signbit(value) ? -kMax : kMax;
}
} // namespace

std::optional<double> ParseDouble(std::string_view text)
{
    text = Trim(text);
    if (!IsPlainDecimal(text))
        return std::nullopt;
    if (text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        return LargestShown(text);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}
