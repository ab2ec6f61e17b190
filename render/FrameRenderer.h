#pragma once
// Makes pictures: the escape counts of a view at a size in device pixels,
// coloured into a frame image. The window, the command line, the video
// export, the bench and the tests all make theirs here; no window is needed.
#include <cstdint>
#include <memory>

#include "ColourTable.h"
#include "FrameColourer.h"
#include "ViewRecord.h"
#include "fractal/CNivoDoc.h"
#include "fractal/RenderProgress.h"

class CDibImage;

class FrameRenderer {
public:
    // The counts of a W x H picture of `view`, the bar from 0 to 50.
    void Compute(std::int32_t W, std::int32_t H, const ViewRecord& view, RenderProgress& progress);
    // Colours the last counts into `image`, which must be W x H, the bar from 50 on.
    void Colour(CDibImage& image, RenderProgress& progress);
    // Colours counts made elsewhere (W x H, column c row r at c * H + r, of
    // iteration limit `limit`) into `image`, which must be W x H, the bar from 50 on.
    void Colour(CDibImage& image, const std::int32_t* counts, std::int32_t W, std::int32_t H, std::int32_t limit,
                RenderProgress& progress);
    // Both, into a new image; its bitmap is null when no section could be made.
    std::unique_ptr<CDibImage> Render(std::int32_t W, std::int32_t H, const ViewRecord& view,
                                      RenderProgress& progress);

    const CNivoDoc& Calculator() const { return m_calculator; }

private:
    void ColourCounts(CDibImage& image, const std::int32_t* counts, std::int32_t W, std::int32_t H,
                      std::int32_t limit, RenderProgress& progress);

    CNivoDoc m_calculator;
    ColourTable m_colours;
    FrameColourer m_colourer;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::int32_t m_limit = 0;
};
