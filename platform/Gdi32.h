#pragma once
// Graphics services: section bitmaps, memory device contexts, pixels, blits.
#include "WinTypes.h"

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section, DWORD offset);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
int GetObjectA(HGDIOBJ object, int size, void* buffer);
HDC CreateCompatibleDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);
BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop);
BOOL DeleteDC(HDC dc);
BOOL DeleteObject(HGDIOBJ object);

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
