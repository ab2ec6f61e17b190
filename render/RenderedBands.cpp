#include "RenderedBands.h"

#include <vector>

#include "FrameColourer.h"
#include "fractal/ComputeEngine.h"
#include "fractal/ComputeSettings.h"

class RenderedBands::BandMaker : public RowBands::Maker {
public:
    explicit BandMaker(const RenderedBands& picture) : m_picture(picture) {}

    // Rows as a bottom-up section holds them, each padded as a BMP file pads it.
    SectionRows Rows(std::int32_t first, std::int32_t last) override
    {
        const std::int32_t W = m_picture.width;
        const std::int32_t rows = last - first;
        m_band.BuildBand(m_picture.m_grid, first, last);
        m_counts.resize(std::size_t(W) * std::size_t(rows));
        m_engine.FillOnThisThread(m_band, m_picture.m_limit, m_counts.data());
        const std::int64_t stride = (std::int64_t(W) * 3 + 3) / 4 * 4;
        // Grown with zeros, which the padding keeps: colours never reach it.
        m_pixels.resize(std::size_t(stride) * std::size_t(rows));
        BYTE* topRow = m_pixels.data() + (rows - 1) * stride;
        FrameColourer::ColourRows(m_counts.data(), W, rows, m_picture.m_colours, topRow, -stride);
        return {topRow, -stride, W, rows, m_picture.dotsPerMeterX, m_picture.dotsPerMeterY};
    }

private:
    const RenderedBands& m_picture;
    SampleGrid m_band;
    ComputeEngine m_engine;
    std::vector<std::int32_t> m_counts;
    std::vector<BYTE> m_pixels;
};

RenderedBands::RenderedBands(std::int32_t W, std::int32_t H, const ViewRecord& view, std::int32_t dotsPerMeter,
                             RenderProgress& progress)
    : RowBands(W, H, dotsPerMeter, dotsPerMeter, ComputeSettings::Current().ResolvedThreads()),
      m_limit(view.iterations), m_progress(progress)
{
    // The calculator's row 0 is the top edge: it takes the centre's y negated.
    m_regular = m_grid.BuildView(W, H, view.centerX, -view.centerY, view.zoom) && m_grid.Columns() == W &&
                m_grid.Rows() == H;
    m_colours.Prepare(m_limit);
}

RenderedBands::~RenderedBands() = default;

std::unique_ptr<RowBands::Maker> RenderedBands::NewMaker() const { return std::make_unique<BandMaker>(*this); }

void RenderedBands::Written(std::int32_t bands, std::int32_t total) const
{
    m_progress.Move(static_cast<int>(bands * 100.0 / total));
}
