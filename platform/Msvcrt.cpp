#include "Msvcrt.h"

namespace {
int FoldCase(WCHAR c) { return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c; }
} // namespace

int _wcsicmp(const WCHAR* left, const WCHAR* right)
{
    for (;; ++left, ++right) {
        const int l = FoldCase(*left);
        const int r = FoldCase(*right);
        if (l != r || l == 0)
            return l - r;
    }
}
