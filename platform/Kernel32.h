#pragma once
// Kernel services the program uses: atomic slot exchange, text conversion.
#include <atomic>

#include "WinTypes.h"

template <class T>
T InterlockedExchange(std::atomic<T>* target, T value)
{
    return target->exchange(value, std::memory_order_acq_rel);
}

// The calling thread's last error, which platform calls that fail set to
// tell why. Only the codes the program tells apart are used.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_BAD_FILE_TYPE = 222;
constexpr DWORD ERROR_FILE_TOO_LARGE = 223;
constexpr DWORD ERROR_FILE_SYSTEM_LIMITATION = 665;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
constexpr DWORD ERROR_NO_SYSTEM_RESOURCES = 1450;
constexpr DWORD ERROR_CANT_RESOLVE_FILENAME = 1921;

DWORD GetLastError();
void SetLastError(DWORD error);
// The last-error code for an errno value (a file that is not a regular file
// shows as EISDIR or EINVAL); ERROR_WRITE_FAULT for one not told apart.
DWORD LastErrorOfErrno(int error);

// Narrow text on Linux is the locale's encoding, which is UTF-8 for file names
// (Qt reads them so too): the ANSI, thread and UTF-8 code pages all decode UTF-8.
constexpr UINT CP_ACP = 0;
constexpr UINT CP_THREAD_ACP = 3;
constexpr UINT CP_UTF8 = 65001;

constexpr DWORD MB_PRECOMPOSED = 0x1;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;

// Converts `length` bytes of `text` (-1: up to and including its terminator)
// to UTF-16. With `capacity` 0 only counts the characters needed. Returns the
// characters written or needed, 0 on failure (bad argument, code page or
// flags, output too small, or an invalid sequence with MB_ERR_INVALID_CHARS;
// without that flag each invalid sequence becomes U+FFFD).
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int length, WCHAR* out, int capacity);
