#pragma once
// The frames of a zoom movie, computed on a thread of their own while the
// caller encodes the ones before: the renderer takes every core for a frame,
// the encoder its own threads, and a few frames wait between the two.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "render/CDibImage.h"
#include "fractal/deep/DeepCalculator.h"
#include "render/FrameRenderer.h"

struct MovieShot {
    std::int32_t width;
    std::int32_t height;
    std::int32_t iterations;
    double centerX;
    double centerY;
    double zoomStart;
    double zoomEnd;
    std::int32_t frames;
    // The frames made, first to last.
    std::int32_t first;
    std::int32_t last;
    // --deep: the centre and the end zooms as written, the curve in MPFR.
    bool deep = false;
    std::string deepCentreX;
    std::string deepCentreY;
    std::string deepZoomStart;
    std::string deepZoomEnd;
};

// The zoom of frame k of `frames`: zoomStart * pow(zoomEnd / zoomStart, k / (frames - 1.0)).
double FrameZoom(double zoomStart, double zoomEnd, std::int32_t k, std::int32_t frames);

class FramePipeline {
public:
    enum class End { Finished, Stopped, Refused, NoMemory };
    // Takes each frame in order, on the calling thread; false ends the movie.
    using Encode = std::function<bool(const CDibImage& frame)>;

    explicit FramePipeline(const MovieShot& shot) : m_shot(shot) {}
    // `stop` is watched between and while waiting for frames.
    End Run(const Encode& encode, const std::atomic<bool>& stop);
    // Seconds spent computing and colouring the frames, and in `encode`.
    double ComputeSeconds() const { return m_computeSeconds; }
    double EncodeSeconds() const { return m_encodeSeconds; }

private:
    bool MakeImages();
    void Produce();
    void ProduceFrames();
    // False when `cancel` stopped the frame before it was done.
    bool Render(std::int32_t k, CDibImage& image, const std::atomic<bool>* cancel);
    bool RenderDeep(std::int32_t k, CDibImage& image, const std::atomic<bool>* cancel);
    End RunInOrder(const Encode& encode, const std::atomic<bool>& stop);
    End Consume(const Encode& encode, const std::atomic<bool>& stop);
    CDibImage* TakeFree();
    CDibImage* TakeReady(const std::atomic<bool>& stop);
    void Quit();

    MovieShot m_shot;
    // Used by one thread at a time; one frame is computed at a time, on every core.
    FrameRenderer m_renderer;
    DeepCalculator m_deep;
    std::vector<std::int32_t> m_deepCounts;
    std::vector<std::unique_ptr<CDibImage>> m_images;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<CDibImage*> m_free;
    std::deque<CDibImage*> m_ready;
    bool m_quit = false;
    // Raised with m_quit: a deep frame can take minutes, and stops at once.
    std::atomic<bool> m_cancel {false};
    // A deep frame found no memory for its counts or its reference orbit.
    bool m_outOfMemory = false;
    double m_computeSeconds = 0;
    double m_encodeSeconds = 0;
};
