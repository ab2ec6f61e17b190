#include "DeepRenderCommand.h"

#include <new>
#include <vector>

#include "CommandLine.h"
#include "fractal/deep/DeepCalculator.h"
#include "render/CDibImage.h"
#include "render/FrameRenderer.h"

namespace {
// Counting moves the bar to 50, as the window's calculator does.
void ComputeCounts(const DeepView& view, std::vector<std::int32_t>& counts, RenderProgress& progress)
{
    progress.Begin(0);
    DeepCalculator calculator;
    calculator.Compute(view, counts, [&](std::int32_t columns) {
        progress.Move(static_cast<int>((std::int64_t(columns) * 50) / view.width));
    });
    progress.End();
}
} // namespace

std::unique_ptr<CDibImage> RenderDeep(const CommandLine& line, RenderProgress& progress)
{
    DeepView view;
    view.centreX = line.deepCentreX;
    view.centreY = line.deepCentreY;
    view.zoom = line.deepZoom;
    view.limit = line.iterations;
    view.width = line.width;
    view.height = line.height;
    try {
        std::vector<std::int32_t> counts;
        ComputeCounts(view, counts, progress);
        auto image = std::make_unique<CDibImage>();
        image->CreateDibToColour(view.width, view.height);
        if (!image->m_bitmap)
            return nullptr;
        FrameRenderer renderer;
        renderer.Colour(*image, counts.data(), view.width, view.height, view.limit, progress);
        return image;
    } catch (const std::bad_alloc&) {
        // The reference orbit of a high limit, or the counts of a large picture.
        return nullptr;
    }
}
