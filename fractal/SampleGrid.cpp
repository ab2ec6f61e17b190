#include "SampleGrid.h"

#include <algorithm>

#include "PlaneGeometry.h"

bool SampleGrid::BuildView(std::int32_t width, std::int32_t height, double centreX, double centreY, double zoom)
{
    const double h1 = PlaneGeometry::PlaneHeightAtZoom1(width, height);
    const double inv = 1.0 / zoom;
    const double xmin = centreX - (inv * PlaneGeometry::kHalfWidth);
    const double xmax = (inv * PlaneGeometry::kHalfWidth) + centreX;
    if (!(xmin < xmax) || width <= 0)
        return false;
    const double half = (h1 * 0.5) * inv;
    const double ymin = centreY - half;
    const double ymax = half + centreY;
    Build(width, height, inv, h1, {xmin, xmax, ymin, ymax});
    return true;
}

void SampleGrid::BuildBand(const SampleGrid& whole, std::int32_t first, std::int32_t last)
{
    m_columns = whole.m_columns;
    m_rows = last - first;
    m_xs.assign(whole.m_xs.begin(), whole.m_xs.end());
    m_ys.resize(static_cast<std::size_t>(m_rows) + kReadablePastRows);
    std::copy_n(whole.m_ys.begin() + first, m_rows, m_ys.begin());
    std::fill_n(m_ys.begin() + m_rows, kReadablePastRows, 0.0);
}

void SampleGrid::Build(std::int32_t width, std::int32_t height, double inverseZoom, double planeHeight,
                       const Bounds& bounds)
{
    BuildRows(height, PlaneGeometry::YStep(inverseZoom, planeHeight, height), bounds.ymin, bounds.ymax);
    BuildColumns(width, PlaneGeometry::XStep(inverseZoom, width), bounds.xmin, bounds.xmax);
}

void SampleGrid::BuildRows(std::int32_t height, double step, double ymin, double ymax)
{
    m_rows = 0;
    if (!(ymin < ymax))
        return;
    // ymin < ymax needs a positive plane height, so height >= 1 here.
    m_ys.resize(static_cast<std::size_t>(height) + kReadablePastRows);
    double y = ymin;
    for (;;) {
        m_ys[static_cast<std::size_t>(m_rows)] = y;
        ++m_rows;
        if (m_rows > height - 1)
            break;
        y = y + step;
        if (!(y < ymax))
            break;
    }
    std::fill_n(m_ys.begin() + m_rows, kReadablePastRows, 0.0);
}

void SampleGrid::BuildColumns(std::int32_t width, double step, double xmin, double xmax)
{
    // Without rows only the number of columns matters (one progress message
    // each); the width may then be far larger than any buffer.
    const bool keep = m_rows > 0;
    if (keep)
        m_xs.resize(static_cast<std::size_t>(width));
    m_columns = 0;
    double x = xmin;
    for (;;) {
        if (keep)
            m_xs[static_cast<std::size_t>(m_columns)] = x;
        ++m_columns;
        if (m_columns > width - 1)
            break;
        x = step + x;
        if (!(x < xmax))
            break;
    }
}
