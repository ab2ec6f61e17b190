#include "ReferenceCompute.h"

#include "LiteralEscape.h"
#include "PlaneGeometry.h"

ReferenceResult ReferenceCompute(std::int32_t W, std::int32_t H, std::int32_t maxIterations, double centreX,
                                 double centreY, double zoom)
{
    ReferenceResult result;
    const double h1 = PlaneGeometry::PlaneHeightAtZoom1(W, H);
    const std::int64_t total = W > 0 && H > 0 ? std::int64_t(W) * H : 0;
    result.entries.assign(static_cast<std::size_t>(total), 0);

    const double inv = 1.0 / zoom;
    const double xmin = centreX - (inv * PlaneGeometry::kHalfWidth);
    const double xmax = (inv * PlaneGeometry::kHalfWidth) + centreX;
    if (!(xmin < xmax) || W <= 0)
        return result;
    const double half = (h1 * 0.5) * inv;
    const double ymin = centreY - half;
    const double ymax = half + centreY;

    std::int64_t position = 0;
    std::int32_t column = 0;
    double x = xmin;
    for (;;) {
        if (ymin < ymax) {
            std::int32_t row = 0;
            double y = ymin;
            for (;;) {
                result.entries[static_cast<std::size_t>(position)] = LiteralEscapeCount(x, y, maxIterations);
                ++position;
                ++row;
                if (row > H - 1)
                    break;
                y = y + PlaneGeometry::YStep(inv, h1, H);
                if (!(y < ymax))
                    break;
            }
        }
        result.positions.push_back(total > 0 ? static_cast<int>((position * 50.0) / static_cast<double>(total)) : 0);
        ++column;
        if (column > W - 1)
            break;
        x = PlaneGeometry::XStep(inv, W) + x;
        if (!(x < xmax))
            break;
    }
    return result;
}
