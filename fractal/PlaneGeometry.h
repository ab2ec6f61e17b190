#pragma once
// Mapping between pixels and plane points. Each user evaluates its own
// formula in its own order; results are relied on to the last bit.
#include <cstdint>

struct PlanePoint {
    double x;
    double y;
};

namespace PlaneGeometry {
constexpr double kPlaneWidth = 3.6;
constexpr double kHalfWidth = 1.8;

// h1 = (3.6 / W) * H
double PlaneHeightAtZoom1(std::int32_t width, std::int32_t height);
// (inv * 3.6) / W
double XStep(double inverseZoom, std::int32_t width);
// (inv * h1) / H
double YStep(double inverseZoom, double planeHeight, std::int32_t height);

// Plane coordinates under the pointer, with integer half sizes.
PlanePoint PointerToPlane(double centreX, double centreY, double zoom, std::int32_t width, std::int32_t height,
                          std::int32_t px, std::int32_t py);
// New centre after a click, with real half sizes and the zoom before the click.
PlanePoint RecentreOnClick(double centreX, double centreY, double zoom, std::int32_t width, std::int32_t height,
                           std::int32_t px, std::int32_t py);
} // namespace PlaneGeometry
