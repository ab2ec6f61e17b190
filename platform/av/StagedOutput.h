#pragma once
// FFmpeg's output through a staged file: the muxer writes and seeks there,
// and a failed write shows as an I/O error of the muxer and in the file.
struct AVIOContext;
class StagedFile;

// Null when its buffer could not be had.
AVIOContext* MakeStagedOutput(StagedFile& file);
void FreeStagedOutput(AVIOContext*& output);
