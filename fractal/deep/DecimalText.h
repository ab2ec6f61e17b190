#pragma once
// Decimal numbers as the user wrote them: [+|-]digits[.digits][e[+|-]digits],
// kept as text so that no digit is lost to a binary rounding.
#include <string_view>

namespace DecimalText {
bool IsDecimal(std::string_view text);
// -1, 0 or 1; the text must be a decimal.
int Sign(std::string_view text);
} // namespace DecimalText
