// The parameters dialog's numbers: what FormatDouble shows, ParseDouble takes
// back as a value that no longer changes; ParseDouble takes plain decimals
// only and never yields a non-finite value. The C library in the "C" locale
// (printf "%.15g", strtod) and a regular expression are the models.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

#include "FuzzCheck.h"
#include "dialogs/NumberText.h"

namespace {
std::string Printf(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool SameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

void CheckShownValue(double value)
{
    const std::string text = FormatDouble(value);
    Require(text == Printf("%.15g", value), "FormatDouble writes what \"%.15g\" writes");
    const auto parsed = ParseDouble(text);
    if (!std::isfinite(value)) {
        Require(!parsed, "the text of a non-finite value is refused");
        return;
    }
    Require(parsed.has_value(), "ParseDouble takes back what FormatDouble shows");
    Require(std::isfinite(*parsed), "ParseDouble yields finite values");
    Require(std::signbit(*parsed) == std::signbit(value), "the sign survives");
    // Fifteen digits: within half a unit of the fifteenth digit, plus the rounding to a double.
    const long double error = std::fabs(static_cast<long double>(*parsed) - value);
    Require(error <= 5.2e-15L * std::fabs(static_cast<long double>(value)) + 0x1p-1074L, "within fifteen digits");
    // Shown and read back once more, the value is the same double: the dialog loses nothing on OK.
    Require(FormatDouble(*parsed) == text, "the text is stable");
    const auto again = ParseDouble(FormatDouble(*parsed));
    Require(again && SameBits(*again, *parsed), "the value read back is a fixed point");
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool HasNonZeroDigitBeforeExponent(const std::string& text)
{
    for (char c : text) {
        if (c == 'e' || c == 'E')
            return false;
        if (c >= '1' && c <= '9')
            return true;
    }
    return false;
}

void CheckTypedText(const std::string& typed)
{
    const auto parsed = ParseDouble(typed);
    if (parsed)
        Require(std::isfinite(*parsed), "ParseDouble yields finite values");
    const std::string text = Trim(typed);
    static const std::regex plain(R"([+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?)");
    if (!std::regex_match(text, plain)) {
        Require(!parsed, "only plain decimals are taken");
        return;
    }
    const double nearest = std::strtod(text.c_str(), nullptr);
    if (nearest == 0 && HasNonZeroDigitBeforeExponent(text)) {
        Require(!parsed, "a number too small for a double is refused, not read as zero");
        return;
    }
    if (std::isinf(nearest)) {
        // Up to the shown form of the largest double, an overflow reads as that double.
        const bool shownRange = std::fabs(std::strtold(text.c_str(), nullptr)) <= 1.79769313486232e308L;
        Require(shownRange ? parsed == std::copysign(DBL_MAX, nearest) : !parsed, "overflow only past the shown maximum");
        return;
    }
    Require(parsed && SameBits(*parsed, nearest), "a plain decimal reads as the nearest double");
}

void CheckInteger(std::int32_t value, const std::string& typed)
{
    const auto shown = ParseInteger(FormatInteger(value));
    Require(FormatInteger(value) == std::to_string(static_cast<long long>(value)), "integers in plain decimal");
    if (value >= 0)
        Require(shown == value, "ParseInteger takes back a shown count");
    else
        Require(!shown, "a sign is not a digit");

    const auto parsed = ParseInteger(typed);
    const std::string text = Trim(typed);
    long long expected = text.empty() ? -1 : 0;
    for (char c : text) {
        if (c < '0' || c > '9' || expected > INT32_MAX) {
            expected = -1;
            break;
        }
        expected = expected * 10 + (c - '0');
    }
    if (expected < 0 || expected > INT32_MAX)
        Require(!parsed, "only digits within the int range");
    else
        Require(parsed == expected, "digits read as their value");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0:
        CheckShownValue(std::bit_cast<double>(input.ConsumeIntegral<std::uint64_t>()));
        break;
    case 1:
        // Kept short: the regular expression model recurses once per character.
        CheckTypedText(input.ConsumeRandomLengthString(200));
        break;
    default: {
        const auto value = input.ConsumeIntegral<std::int32_t>();
        CheckInteger(value, input.ConsumeRandomLengthString(40));
    }
    }
    return 0;
}
