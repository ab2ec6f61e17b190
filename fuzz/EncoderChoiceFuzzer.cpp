// The image encoder for a path: the first encoder that lists the extension
// of the path's last component (from its last dot, letter case of A to Z
// aside) among its ";"-separated patterns, else GUID_NULL. The model works on
// the path's bytes and the patterns' UTF-8 form; it never converts the path.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "export/EncoderChoice.h"
#include "platform/Kernel32.h"

namespace {
// Pattern characters: ASCII that matters to the choice, two accented letters
// (two bytes in UTF-8, not folded into each other) and a lone surrogate, which
// no path can decode to. U+FFFD is left out: invalid path bytes decode to it.
constexpr char16_t kAlphabet[] = {u'*', u'.', u';', u'/', u'p', u'P', u'n', u'N', u'g', u'G', u'j', u'J',
                                  u'1', u'_', u'\\', u'\u00E9', u'\u00C9', u'\xD800'};

std::u16string PatternFrom(FuzzedDataProvider& input)
{
    std::u16string pattern;
    const std::string picks = input.ConsumeRandomLengthString(300);
    for (unsigned char c : picks)
        pattern += kAlphabet[c % std::size(kAlphabet)];
    return pattern;
}

// The same characters as a path's bytes: accented letters as their UTF-8 sequences.
std::string PathFrom(FuzzedDataProvider& input)
{
    std::string path;
    const std::string picks = input.ConsumeRandomLengthString(300);
    if (input.ConsumeBool()) {
        for (unsigned char c : picks) {
            const char16_t unit = kAlphabet[c % (std::size(kAlphabet) - 1)];
            if (unit == u'\u00E9')
                path += "\xC3\xA9";
            else if (unit == u'\u00C9')
                path += "\xC3\x89";
            else
                path += char(unit);
        }
    } else {
        path = picks;
    }
    return path.substr(0, path.find('\0'));
}

template <class Text>
Text LastExtension(const Text& name)
{
    const auto slash = name.rfind('/');
    const Text component = slash == Text::npos ? name : name.substr(slash + 1);
    const auto dot = component.rfind('.');
    return dot == Text::npos ? Text() : component.substr(dot);
}

// The UTF-8 bytes of a pattern's extension; none for a lone surrogate.
std::optional<std::string> Utf8(const std::u16string& text)
{
    std::string bytes;
    for (char16_t unit : text) {
        if (unit < 0x80)
            bytes += char(unit);
        else if (unit < 0x800)
            bytes += {char(0xC0 | (unit >> 6)), char(0x80 | (unit & 0x3F))};
        else
            return std::nullopt;
    }
    return bytes;
}

std::string FoldAsciiCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

bool Lists(const std::u16string& patterns, const std::string& wanted)
{
    std::size_t start = 0;
    while (start <= patterns.size()) {
        const auto end = std::min(patterns.find(u';', start), patterns.size());
        const std::u16string piece = patterns.substr(start, end - start);
        if (!piece.empty()) {
            const auto bytes = Utf8(LastExtension(piece));
            if (bytes && FoldAsciiCase(*bytes) == wanted)
                return true;
        }
        start = end + 1;
    }
    return false;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const UINT codePages[] = {CP_ACP, CP_THREAD_ACP, CP_UTF8};
    const UINT codePage = input.PickValueInArray(codePages);
    const std::string path = PathFrom(input);

    const std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, 6);
    std::vector<std::u16string> patterns;
    std::vector<ImageCodecInfo> encoders(count);
    for (std::size_t i = 0; i < count; ++i)
        patterns.push_back(PatternFrom(input));
    for (std::size_t i = 0; i < count; ++i) {
        encoders[i].Clsid = {DWORD(i + 1), 0x4E69, 0x766F, {}};
        // Encoders without patterns are skipped, not crashed on.
        encoders[i].FilenameExtension = patterns[i].size() % 7 == 6 ? nullptr : patterns[i].c_str();
    }

    const CLSID chosen = ChooseEncoder(path.c_str(), encoders.data(), UINT(count), codePage);
    CLSID expected = GUID_NULL;
    const std::string wanted = FoldAsciiCase(LastExtension(path));
    for (std::size_t i = 0; i < count; ++i)
        if (encoders[i].FilenameExtension && Lists(patterns[i], wanted)) {
            expected = encoders[i].Clsid;
            break;
        }
    Require(chosen == expected, "the first encoder listing the path's last extension, else GUID_NULL");
    return 0;
}
