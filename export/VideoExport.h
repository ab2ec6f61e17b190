#pragma once
// The video export command's file: "test.avi" in the current folder, 50
// frames of one picture through the compressor the user picks.
#include "platform/WinTypes.h"

namespace VideoExport {
// Takes the bitmap and deletes it once written.
void WriteTestVideo(HBITMAP bitmap);
// The compression dialog has no owner, so it may lie behind the main window.
void RaiseCompressionDialog();
} // namespace VideoExport
