#pragma once
// The escape-time picture computed exactly as defined, one point after the
// other with the square root kept: the yardstick for the fast calculator.
#include <cstdint>
#include <vector>

struct ReferencePicture {
    std::vector<std::int32_t> entries;   // W x H, unwritten ones 0
    std::vector<int> positions;          // bar position after each column
    std::int64_t written = 0;            // entries computed, from position 0
};

ReferencePicture ReferenceCompute(std::int32_t width, std::int32_t height, std::int32_t maxIterations, double centreX,
                                  double centreY, double zoom);
