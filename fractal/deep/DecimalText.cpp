#include "DecimalText.h"

namespace DecimalText {
namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Skips the digits at `at`; returns how many there were.
std::size_t SkipDigits(std::string_view text, std::size_t& at)
{
    const std::size_t start = at;
    while (at < text.size() && IsDigit(text[at]))
        ++at;
    return at - start;
}

bool IsSign(char c) { return c == '+' || c == '-'; }
} // namespace

bool IsDecimal(std::string_view text)
{
    std::size_t at = 0;
    if (at < text.size() && IsSign(text[at]))
        ++at;
    std::size_t digits = SkipDigits(text, at);
    if (at < text.size() && text[at] == '.') {
        ++at;
        digits += SkipDigits(text, at);
    }
    if (digits == 0)
        return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && IsSign(text[at]))
            ++at;
        if (SkipDigits(text, at) == 0)
            return false;
    }
    return at == text.size();
}

int Sign(std::string_view text)
{
    bool nonZero = false;
    for (const char c : text) {
        if (c == 'e' || c == 'E')
            break;
        nonZero = nonZero || (IsDigit(c) && c != '0');
    }
    if (!nonZero)
        return 0;
    return text.front() == '-' ? -1 : 1;
}
} // namespace DecimalText
