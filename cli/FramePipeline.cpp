#include "FramePipeline.h"

#include <chrono>
#include <cmath>
#include <new>
#include <system_error>
#include <thread>

#include "fractal/RenderProgress.h"
#include "fractal/deep/DeepZoomCurve.h"

namespace {
// Frames in flight: one computed, one encoded, the others waiting.
constexpr int kImages = 4;
// How often a wait looks at the stop flag, which a signal sets.
constexpr std::chrono::milliseconds kStopPoll(50);

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }
} // namespace

double FrameZoom(double zoomStart, double zoomEnd, std::int32_t k, std::int32_t frames)
{
    return zoomStart * std::pow(zoomEnd / zoomStart, k / (frames - 1.0));
}

FramePipeline::End FramePipeline::Run(const Encode& encode, const std::atomic<bool>& stop)
{
    if (!MakeImages())
        return End::NoMemory;
    std::thread producer;
    try {
        producer = std::thread(&FramePipeline::Produce, this);
    } catch (const std::system_error&) {
        // No thread to be had: compute and encode by turns.
        return RunInOrder(encode, stop);
    }
    const End end = Consume(encode, stop);
    Quit();
    producer.join();
    return end;
}

// Made here, and freed here, so that only bytes cross between the threads.
bool FramePipeline::MakeImages()
{
    for (int i = 0; i < kImages; ++i) {
        auto image = std::make_unique<CDibImage>();
        image->CreateDib(m_shot.width, m_shot.height);
        if (!image->m_bitmap || !image->m_topRow)
            return false;
        m_free.push_back(image.get());
        m_images.push_back(std::move(image));
    }
    return true;
}

bool FramePipeline::Render(std::int32_t k, CDibImage& image, const std::atomic<bool>* cancel)
{
    if (m_shot.deep)
        return RenderDeep(k, image, cancel);
    CancellableProgress progress(cancel);
    const Clock::time_point start = Clock::now();
    m_renderer.Compute(m_shot.width, m_shot.height,
                     {m_shot.iterations, m_shot.centerX, m_shot.centerY,
                      FrameZoom(m_shot.zoomStart, m_shot.zoomEnd, k, m_shot.frames)},
                     progress);
    if (progress.Stopped())
        return false;
    m_renderer.Colour(image, progress);
    m_computeSeconds += SecondsSince(start);
    return true;
}

// Throws std::bad_alloc when the counts or the reference orbit find no memory.
bool FramePipeline::RenderDeep(std::int32_t k, CDibImage& image, const std::atomic<bool>* cancel)
{
    SilentProgress silent;
    const Clock::time_point start = Clock::now();
    DeepView view;
    view.centreX = m_shot.deepCentreX;
    view.centreY = m_shot.deepCentreY;
    view.zoom = DeepFrameZoom(m_shot.deepZoomStart, m_shot.deepZoomEnd, k, m_shot.frames);
    view.limit = m_shot.iterations;
    view.width = m_shot.width;
    view.height = m_shot.height;
    if (!m_deep.Compute(view, m_deepCounts, {}, cancel))
        return false;
    m_renderer.Colour(image, m_deepCounts.data(), view.width, view.height, view.limit, silent);
    m_computeSeconds += SecondsSince(start);
    return true;
}

void FramePipeline::Produce()
{
    ProduceFrames();
    if (m_shot.deep)
        FreeDeepThreadCaches();
}

void FramePipeline::ProduceFrames()
{
    for (std::int32_t k = m_shot.first; k <= m_shot.last; ++k) {
        CDibImage* image = TakeFree();
        if (!image)
            return;
        try {
            if (!Render(k, *image, &m_cancel))
                return;
        } catch (const std::bad_alloc&) {
            const std::lock_guard guard(m_lock);
            m_outOfMemory = true;
            m_changed.notify_all();
            return;
        }
        const std::lock_guard guard(m_lock);
        m_ready.push_back(image);
        m_changed.notify_all();
    }
}

FramePipeline::End FramePipeline::Consume(const Encode& encode, const std::atomic<bool>& stop)
{
    for (std::int32_t k = m_shot.first; k <= m_shot.last; ++k) {
        CDibImage* image = TakeReady(stop);
        if (!image)
            return m_outOfMemory ? End::NoMemory : End::Stopped;
        const Clock::time_point start = Clock::now();
        const bool encoded = encode(*image);
        m_encodeSeconds += SecondsSince(start);
        if (!encoded)
            return End::Refused;
        const std::lock_guard guard(m_lock);
        m_free.push_back(image);
        m_changed.notify_all();
    }
    return End::Finished;
}

FramePipeline::End FramePipeline::RunInOrder(const Encode& encode, const std::atomic<bool>& stop)
{
    for (std::int32_t k = m_shot.first; k <= m_shot.last; ++k) {
        if (stop)
            return End::Stopped;
        try {
            if (!Render(k, *m_images.front(), &stop))
                return End::Stopped;
        } catch (const std::bad_alloc&) {
            return End::NoMemory;
        }
        const Clock::time_point start = Clock::now();
        const bool encoded = encode(*m_images.front());
        m_encodeSeconds += SecondsSince(start);
        if (!encoded)
            return End::Refused;
    }
    return End::Finished;
}

CDibImage* FramePipeline::TakeFree()
{
    std::unique_lock guard(m_lock);
    m_changed.wait(guard, [this] { return m_quit || !m_free.empty(); });
    if (m_quit)
        return nullptr;
    CDibImage* image = m_free.front();
    m_free.pop_front();
    return image;
}

// Null once `stop` is set, or the producer found no memory.
CDibImage* FramePipeline::TakeReady(const std::atomic<bool>& stop)
{
    std::unique_lock guard(m_lock);
    while (m_ready.empty() && !stop && !m_outOfMemory)
        m_changed.wait_for(guard, kStopPoll);
    if (stop || m_outOfMemory)
        return nullptr;
    CDibImage* image = m_ready.front();
    m_ready.pop_front();
    return image;
}

void FramePipeline::Quit()
{
    const std::lock_guard guard(m_lock);
    m_quit = true;
    m_cancel = true;
    m_changed.notify_all();
}
