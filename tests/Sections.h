#pragma once
// Section bitmaps for the tests: a 24-bit bottom-up one of the size given,
// as the frame image makes them, and random contents.
#include <random>

#include "platform/Gdi32.h"

HBITMAP NewSection(LONG width, LONG height, BYTE** bits = nullptr);
// Every byte of every row, padding included, from `random`.
void FillRandomly(const GdiObject& bitmap, std::mt19937& random);
