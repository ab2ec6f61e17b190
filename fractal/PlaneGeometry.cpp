#include "PlaneGeometry.h"

namespace PlaneGeometry {

double PlaneHeightAtZoom1(std::int32_t width, std::int32_t height) { return (kPlaneWidth / width) * height; }

double XStep(double inverseZoom, std::int32_t width) { return (inverseZoom * kPlaneWidth) / width; }

double YStep(double inverseZoom, double planeHeight, std::int32_t height) { return (inverseZoom * planeHeight) / height; }

PlanePoint PointerToPlane(double centreX, double centreY, double zoom, std::int32_t width, std::int32_t height,
                          std::int32_t px, std::int32_t py)
{
    const double inv = 1.0 / zoom;
    const std::int32_t dx = px - width / 2;
    const std::int32_t dy = height / 2 - py;

    double t = static_cast<double>(dx);
    t = t * inv;
    t = t * kHalfWidth;
    t = t / width;
    const double x = (t + t) + centreX;

    const double k = ((kPlaneWidth / width) * height) * 0.5;
    double u = static_cast<double>(dy) * k;
    u = u * inv;
    u = u / height;
    const double y = (u + u) + centreY;
    return {x, y};
}

PlanePoint RecentreOnClick(double centreX, double centreY, double zoom, std::int32_t width, std::int32_t height,
                           std::int32_t px, std::int32_t py)
{
    const double inv = 1.0 / zoom;

    double t = px - (width * 0.5);
    t = t * inv;
    t = t * kHalfWidth;
    t = t / width;
    const double x = (t + t) + centreX;

    const double d = py - (height * 0.5);
    const double k = ((kPlaneWidth / width) * height) * 0.5;
    double u = d * k;
    u = u * inv;
    u = u / height;
    const double y = centreY - (u + u);
    return {x, y};
}

} // namespace PlaneGeometry
