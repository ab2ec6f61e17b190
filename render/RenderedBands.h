#pragma once
// A view's picture made a band of rows at a time, for a file written
// straight from its rows: each band is computed on the thread that writes
// it and coloured there, so that neither the counts nor the picture are ever
// whole in memory. The bytes are those of the frame image.
#include <cstdint>
#include <memory>

#include "ColourTable.h"
#include "ViewRecord.h"
#include "fractal/RenderProgress.h"
#include "fractal/SampleGrid.h"
#include "platform/SectionWriters.h"

class RenderedBands : public RowBands {
public:
    // May throw std::bad_alloc. The progress moves from 0 to 100 as bands are written.
    RenderedBands(std::int32_t W, std::int32_t H, const ViewRecord& view, std::int32_t dotsPerMeter,
                  RenderProgress& progress);
    ~RenderedBands() override;

    // Whether every pixel has its own sample point. Where the doubles run
    // out, the frame image takes its counts in another order: not in bands.
    bool Regular() const { return m_regular; }

    std::unique_ptr<Maker> NewMaker() const override;
    void Written(std::int32_t bands, std::int32_t total) const override;

private:
    class BandMaker;

    SampleGrid m_grid;
    bool m_regular = false;
    std::int32_t m_limit;
    ColourTable m_colours;
    RenderProgress& m_progress;
};
