#pragma once
// Compute's column and row loops exactly as first written, one LiteralEscapeCount
// per pixel: the yardstick for the fast Compute in tests and benchmarks.
#include <cstdint>
#include <vector>

struct ReferenceResult {
    std::vector<std::int32_t> entries; // W x H; entries no column reached are 0
    std::vector<int> positions;        // every bar position after the initial 0, in order
};

// width * height must be small enough to hold in memory.
ReferenceResult ReferenceCompute(std::int32_t width, std::int32_t height, std::int32_t maxIterations, double centreX,
                                 double centreY, double zoom);
