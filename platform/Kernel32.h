#pragma once
// Kernel services the program uses: atomic slot exchange, text conversion.
#include <atomic>

#include "WinTypes.h"

template <class T>
T InterlockedExchange(std::atomic<T>* target, T value)
{
    return target->exchange(value, std::memory_order_acq_rel);
}

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
