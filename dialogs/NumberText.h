#pragma once
// Numbers as the dialogs show and read them: plain decimal integers, doubles
// in "%.15g" form, always with a point whatever the locale.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

std::string FormatInteger(std::int32_t value);
std::string FormatDouble(double value);
// Digits only, within the int range.
std::optional<std::int32_t> ParseInteger(std::string_view text);
// Sign, digits, point and exponent; finite results only. The shown form of
// the largest double (1.79769313486232e+308) and anything below it that still
// overflows read as the largest double of that sign.
std::optional<double> ParseDouble(std::string_view text);
