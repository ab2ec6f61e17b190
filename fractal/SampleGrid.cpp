#include "SampleGrid.h"

#include <algorithm>

#include "PlaneGeometry.h"

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
