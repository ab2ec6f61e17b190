#include "EncoderChoice.h"

#include <array>
#include <memory>
#include <string>

#include "platform/Kernel32.h"
#include "platform/Msvcrt.h"
#include "platform/Shlwapi.h"

namespace {
using InlineText = std::array<WCHAR, 128>;

// The wanted extension in UTF-16, in `inlineText` or, when longer, on the heap
// in `heapText`; short extensions, the usual case, need no allocation.
const WCHAR* WidenExtension(const char* extension, UINT codePage, InlineText& inlineText, std::unique_ptr<WCHAR[]>& heapText)
{
    WCHAR* text = inlineText.data();
    const int length = MultiByteToWideChar(codePage, 0, extension, -1, nullptr, 0);
    if (length > static_cast<int>(inlineText.size())) {
        heapText = std::make_unique<WCHAR[]>(length);
        text = heapText.get();
    }
    if (length == 0 || MultiByteToWideChar(codePage, 0, extension, -1, text, length) == 0)
        text[0] = 0;
    return text;
}

// Whether one of the ";"-separated patterns has the wanted extension.
bool ListsExtension(const WCHAR* patterns, const WCHAR* wanted)
{
    std::u16string piece;
    for (const WCHAR* p = patterns; *p;) {
        if (*p == u';') {
            ++p;
            continue;
        }
        const WCHAR* end = p;
        while (*end && *end != u';')
            ++end;
        piece.assign(p, end);
        if (_wcsicmp(PathFindExtensionW(piece.c_str()), wanted) == 0)
            return true;
        p = end;
    }
    return false;
}
} // namespace

CLSID ChooseEncoder(const char* path, const ImageCodecInfo* encoders, UINT count, UINT codePage)
{
    InlineText inlineText;
    std::unique_ptr<WCHAR[]> heapText;
    const WCHAR* wanted = WidenExtension(PathFindExtensionA(path), codePage, inlineText, heapText);
    for (UINT i = 0; i < count; ++i) {
        if (encoders[i].FilenameExtension && ListsExtension(encoders[i].FilenameExtension, wanted))
            return encoders[i].Clsid;
    }
    return GUID_NULL;
}
