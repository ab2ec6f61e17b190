#pragma once
// The zoom of a deep movie's frame, in MPFR: zoomStart * (zoomEnd / zoomStart)^(k / (frames - 1))
// for zooms as decimal texts of any magnitude. The first and last frames keep
// the texts as written, so that they are the pictures a render of those zooms makes.
#include <cstdint>
#include <string>

std::string DeepFrameZoom(const std::string& zoomStart, const std::string& zoomEnd, std::int32_t k,
                          std::int32_t frames);

// Frees what MPFR keeps for the calling thread (its constants); a thread that
// made deep frames calls it before it ends, or that memory is lost with it.
void FreeDeepThreadCaches();
