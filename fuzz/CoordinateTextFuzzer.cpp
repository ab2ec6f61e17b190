// Status-bar coordinates: never more than 24 characters, always the label
// first, then "%.10f" when that fits, else "%.9e" when that fits; printf in
// the "C" locale is the model. Any double, from its raw bits.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzCheck.h"
#include "view/CoordinateText.h"

namespace {
constexpr std::size_t kMaxText = 24;

std::string Printf(const char* format, double value)
{
    char text[512];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Expected(const std::string& label, double value)
{
    if (label.size() >= kMaxText)
        return label.substr(0, kMaxText);
    for (const char* format : {"%.10f", "%.9e"}) {
        const std::string number = Printf(format, value);
        if (label.size() + number.size() <= kMaxText)
            return label + number;
    }
    return label;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const double value = std::bit_cast<double>(input.ConsumeIntegral<std::uint64_t>());
    // The program's own labels are "x: " and "y: "; any other text stands in for a longer one.
    std::string label;
    switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0:
        label = "x: ";
        break;
    case 1:
        label = "y: ";
        break;
    default:
        label = input.ConsumeRandomLengthString(40);
        label.resize(label.find('\0') == std::string::npos ? label.size() : label.find('\0'));
    }
    const std::string text = CoordinateText(label.c_str(), value);
    Require(text.size() <= kMaxText, "at most 24 characters");
    Require(text.compare(0, std::min(label.size(), kMaxText), label, 0, kMaxText) == 0, "starts with the label");
    Require(text == Expected(label, value), "fixed, else scientific, else the label alone");
    return 0;
}
