#pragma once
// Which image encoder writes a file: the one that first lists the extension of
// the path's file name among its patterns. GUID_NULL when none does.
#include "platform/qt/Gdiplus.h"

CLSID ChooseEncoder(const char* path, const ImageCodecInfo* encoders, UINT count, UINT codePage);
