#pragma once
// Graphics services: section bitmaps, memory device contexts, pixels, blits.
#include "WinTypes.h"

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section, DWORD offset);
// CreateDIBSection for a caller that sets every pixel before any is read:
// the pixels may still hold those of a deleted section, which saves a pass
// over the memory; the bytes that pad the rows out are zero all the same.
HBITMAP CreateDIBSectionToOverwrite(const BITMAPINFO* info, void** bits);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
int GetObjectA(HGDIOBJ object, int size, void* buffer);
HDC CreateCompatibleDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);
BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop);
BOOL DeleteDC(HDC dc);
BOOL DeleteObject(HGDIOBJ object);

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
