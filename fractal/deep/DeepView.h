#pragma once
// What a deep picture shows: the centre and the zoom as decimal texts of any
// length and magnitude, the iteration limit and the size in pixels.
#include <cstdint>
#include <string>

struct DeepView {
    static constexpr std::int32_t kMostIterations = 10'000'000;
    // Zooms from 1e-100000 to 1e100000: deeper, the numbers of the reference
    // orbit outgrow the memory.
    static constexpr int kZoomExponentRange = 100'000;

    std::string centreX = "-0.5";
    std::string centreY = "0";
    std::string zoom = "1";
    std::int32_t limit = 50;
    std::int32_t width = 0;
    std::int32_t height = 0;

    enum class Problem {
        None,
        CentreNotDecimal,
        CentreOutOfRange,
        ZoomNotDecimal,
        ZoomZero,
        ZoomNegative,
        ZoomOutOfRange,
        BadLimit,
        BadSize
    };
    Problem Check() const;
};
