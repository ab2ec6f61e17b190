#include "FrameRenderer.h"

#include <cstdlib>
#include <cstring>

#include "CDibImage.h"
#include "platform/Gdi32.h"

namespace {
int ColourProgress(std::int64_t i, std::int64_t total)
{
    return 50 - static_cast<std::int32_t>((i * -50.0) / static_cast<double>(total));
}

// Without counts the picture is black, as a zeroed section shows it, even
// in a section made to be coloured.
void Blacken(CDibImage& image)
{
    if (!image.m_topRow)
        return;
    for (std::int32_t row = 0; row < image.m_height; ++row)
        std::memset(image.m_topRow + std::ptrdiff_t(row) * image.m_pitch, 0, std::size_t(std::abs(image.m_pitch)));
}
} // namespace

void FrameRenderer::Compute(std::int32_t W, std::int32_t H, const ViewRecord& view, RenderProgress& progress)
{
    // The calculator is handed the centre's y negated: its row 0 is the top edge.
    m_calculator.Compute(W, H, view.iterations, view.centerX, -view.centerY, view.zoom, progress);
    m_width = W;
    m_height = H;
    m_limit = view.iterations;
}

void FrameRenderer::Colour(CDibImage& image, RenderProgress& progress)
{
    progress.Begin(50);
    const std::int32_t W = m_width, H = m_height;
    // Never read past what the buffer holds.
    if (m_calculator.m_buffer && W > 0 && H > 0 && std::int64_t(W) * H <= m_calculator.BufferSize())
        ColourCounts(image, m_calculator.m_buffer, W, H, m_limit, progress);
    else
        Blacken(image);
    progress.End();
}

void FrameRenderer::Colour(CDibImage& image, const std::int32_t* counts, std::int32_t W, std::int32_t H,
                           std::int32_t limit, RenderProgress& progress)
{
    progress.Begin(50);
    if (W > 0 && H > 0)
        ColourCounts(image, counts, W, H, limit, progress);
    progress.End();
}

std::unique_ptr<CDibImage> FrameRenderer::Render(std::int32_t W, std::int32_t H, const ViewRecord& view,
                                                 RenderProgress& progress)
{
    Compute(W, H, view, progress);
    auto image = std::make_unique<CDibImage>();
    image->CreateDibToColour(W, H);
    Colour(*image, progress);
    return image;
}

// Pixel i is column i / H, row i mod H, and the bar moves every W pixels,
// once that pixel is set. The first pixel takes and gives back the image's
// device context; that leaves the cache and the context as every later
// take-and-give-back would, so the others go straight into the section.
void FrameRenderer::ColourCounts(CDibImage& image, const std::int32_t* counts, std::int32_t W, std::int32_t H,
                                 std::int32_t limit, RenderProgress& progress)
{
    const std::int64_t total = std::int64_t(W) * H;
    m_colours.Prepare(limit);
    HDC dc = image.GetImageDC();
    SetPixel(dc, 0, 0, m_colours.Colour(counts[0]));
    image.ReleaseImageDC();
    progress.Move(ColourProgress(0, total));
    std::int64_t mark = W;
    const auto moveBar = [&](std::int64_t written) {
        for (; mark < total && mark < written; mark += W)
            progress.Move(ColourProgress(mark, total));
    };
    // An image whose section could not be made takes no pixel.
    if (image.m_topRow)
        m_colourer.Colour(image, counts, W, H, m_colours, moveBar);
    moveBar(total);
}
