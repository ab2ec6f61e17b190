#include "Shlwapi.h"

namespace {
template <class Char>
const Char* FindExtension(const Char* path)
{
    if (!path)
        return nullptr;
    const Char* dot = nullptr;
    const Char* end = path;
    for (; *end; ++end) {
        if (*end == Char('/'))
            dot = nullptr;
        else if (*end == Char('.'))
            dot = end;
    }
    return dot ? dot : end;
}
} // namespace

const char* PathFindExtensionA(const char* path) { return FindExtension(path); }

const WCHAR* PathFindExtensionW(const WCHAR* path) { return FindExtension(path); }
