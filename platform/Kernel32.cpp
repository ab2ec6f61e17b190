#include "Kernel32.h"

#include <cerrno>
#include <cstddef>
#include <climits>
#include <cstring>

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;

constexpr char32_t kReplacement = 0xFFFD;

bool AcceptsCodePage(UINT codePage) { return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == CP_UTF8; }

// As on Windows: UTF-8 takes no flag but MB_ERR_INVALID_CHARS; the ANSI pages also take MB_PRECOMPOSED.
bool AcceptsFlags(UINT codePage, DWORD flags)
{
    const DWORD allowed = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : MB_ERR_INVALID_CHARS | MB_PRECOMPOSED;
    return (flags & ~allowed) == 0;
}

// Collects UTF-16 units, or only counts them when there is no room to fill.
class Utf16Sink {
public:
    Utf16Sink(WCHAR* out, int capacity) : m_out(out), m_capacity(capacity) {}

    bool Put(char32_t c)
    {
        if (c < 0x10000)
            return PutUnit(static_cast<WCHAR>(c));
        c -= 0x10000;
        return PutUnit(static_cast<WCHAR>(0xD800 + (c >> 10))) && PutUnit(static_cast<WCHAR>(0xDC00 + (c & 0x3FF)));
    }
    int Count() const { return m_count; }

private:
    bool PutUnit(WCHAR unit)
    {
        if (m_capacity > 0) {
            if (m_count == m_capacity)
                return false;
            m_out[m_count] = unit;
        }
        ++m_count;
        return true;
    }

    WCHAR* m_out;
    int m_capacity;
    int m_count = 0;
};

// Decodes one character at `*pos`, moving past it. An ill-formed sequence
// yields U+FFFD and consumes its longest valid start only, so the next byte
// gets its own chance (Unicode's "maximal subpart" rule, as Windows does).
char32_t DecodeOne(const unsigned char* text, std::size_t size, std::size_t* pos, bool* valid)
{
    const unsigned char lead = text[(*pos)++];
    *valid = true;
    if (lead < 0x80)
        return lead;
    int continuations = 0;
    char32_t c = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuations = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuations = 2;
        c = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuations = 3;
        c = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
    } else {
        *valid = false;
        return kReplacement;
    }
    for (int k = 0; k < continuations; ++k) {
        if (*pos == size || text[*pos] < low || text[*pos] > high) {
            *valid = false;
            return kReplacement;
        }
        c = (c << 6) | (text[(*pos)++] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return c;
}
} // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int length, WCHAR* out, int capacity)
{
    if (!AcceptsCodePage(codePage) || !AcceptsFlags(codePage, flags))
        return 0;
    if (!text || length == 0 || length < -1 || capacity < 0 || (capacity > 0 && !out))
        return 0;
    const std::size_t size = length == -1 ? std::strlen(text) + 1 : static_cast<std::size_t>(length);
    if (size > INT_MAX)
        return 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    Utf16Sink sink(out, capacity);
    for (std::size_t pos = 0; pos < size;) {
        bool valid = true;
        const char32_t c = DecodeOne(bytes, size, &pos, &valid);
        if ((!valid && strict) || !sink.Put(c))
            return 0;
    }
    return sink.Count();
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }

DWORD LastErrorOfErrno(int error)
{
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EFBIG:
        // Beyond the process's file size limit (ulimit -f).
        return ERROR_FILE_SYSTEM_LIMITATION;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ELOOP:
        return ERROR_CANT_RESOLVE_FILENAME;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EISDIR:
    case EINVAL:
        return ERROR_BAD_FILE_TYPE;
    default:
        return ERROR_WRITE_FAULT;
    }
}
