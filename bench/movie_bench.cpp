// Times a zoom movie three ways: every frame computed alone (the sum of the
// computes), every frame encoded alone from memory (the sum of the encodes),
// and the movie as `nivo --movie` makes it, the two overlapping.
//
//     nivo_movie_bench [OUT.mkv] [WxH] [FRAMES] [CODEC]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "cli/FramePipeline.h"
#include "fractal/RenderProgress.h"
#include "platform/AviModule.h"
#include "platform/AviServices.h"
#include "render/FrameRenderer.h"

namespace {
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The process's processor time so far, every thread, user and system.
double ProcessorSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Frames as top-down BGR rows, kept for the encode alone.
using Frames = std::vector<std::vector<std::uint8_t>>;

double ComputeAlone(const MovieShot& shot, Frames& frames)
{
    FrameRenderer renderer;
    SilentProgress silent;
    CDibImage image;
    image.CreateDib(shot.width, shot.height);
    const std::size_t row = std::size_t(shot.width) * 3;
    double seconds = 0;
    for (std::int32_t k = shot.first; k <= shot.last; ++k) {
        const Clock::time_point start = Clock::now();
        renderer.Compute(shot.width, shot.height,
                         {shot.iterations, shot.centerX, shot.centerY, FrameZoom(shot.zoomStart, shot.zoomEnd, k, shot.frames)},
                         silent);
        renderer.Colour(image, silent);
        seconds += SecondsSince(start);
        std::vector<std::uint8_t>& frame = frames.emplace_back(row * shot.height);
        for (std::int32_t y = 0; y < shot.height; ++y)
            std::memcpy(frame.data() + y * row, image.m_topRow + std::ptrdiff_t(y) * image.m_pitch, row);
    }
    return seconds;
}

double EncodeAlone(const MovieServices& movie, const MovieSettings& settings, const Frames& frames)
{
    MovieFailure failure;
    const Clock::time_point start = Clock::now();
    MovieEncoder* encoder = movie.open(settings, failure);
    if (!encoder)
        return -1;
    for (const std::vector<std::uint8_t>& frame : frames)
        if (!movie.write(encoder, frame.data(), std::ptrdiff_t(settings.width) * 3, failure))
            return -1;
    return movie.finish(encoder, failure) ? SecondsSince(start) : -1;
}

// The wall time; `busy` gets the seconds each thread spent on its frames.
double Overlapped(const MovieServices& movie, const MovieSettings& settings, const MovieShot& shot, double busy[2])
{
    MovieFailure failure;
    const std::atomic<bool> never {false};
    const Clock::time_point start = Clock::now();
    MovieEncoder* encoder = movie.open(settings, failure);
    if (!encoder)
        return -1;
    FramePipeline pipeline(shot);
    const auto end = pipeline.Run(
        [&](const CDibImage& frame) { return movie.write(encoder, frame.m_topRow, frame.m_pitch, failure); }, never);
    if (end != FramePipeline::End::Finished) {
        movie.discard(encoder);
        return -1;
    }
    busy[0] = pipeline.ComputeSeconds();
    busy[1] = pipeline.EncodeSeconds();
    return movie.finish(encoder, failure) ? SecondsSince(start) : -1;
}
} // namespace

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : "/tmp/nivo-movie-bench.mkv";
    int width = 1920, height = 1080;
    if (argc > 2 && std::sscanf(argv[2], "%dx%d", &width, &height) != 2)
        return 2;
    const int count = argc > 3 ? std::atoi(argv[3]) : 300;
    const std::string codec = argc > 4 ? argv[4] : "libx264";
    const AviServices* services = AviModule::Services();
    if (!services || count < 2)
        return 1;
    const MovieShot shot {width, height, 1000, -0.743643887037151, 0.131825904205330, 1, 1e6, count, 0, count - 1,
                          false, {}, {}, {}, {}};
    const MovieSettings settings {path, codec, width, height, 30};

    Frames frames;
    double used = ProcessorSeconds();
    const double compute = ComputeAlone(shot, frames);
    const double computeCpu = ProcessorSeconds() - used;
    used = ProcessorSeconds();
    const double encode = EncodeAlone(*services->movie, settings, frames);
    const double encodeCpu = ProcessorSeconds() - used;
    frames.clear();
    frames.shrink_to_fit();
    used = ProcessorSeconds();
    double busy[2] = {};
    const double wall = Overlapped(*services->movie, settings, shot, busy);
    const double wallCpu = ProcessorSeconds() - used;
    if (encode < 0 || wall < 0) {
        std::fprintf(stderr, "the movie could not be written to %s\n", path);
        return 1;
    }
    std::printf("%dx%d, %d frames, %s: computes %.2f s, encodes %.2f s, sum %.2f s\n", width, height, count,
                codec.c_str(), compute, encode, compute + encode);
    std::printf("overlapped: %.2f s (%.1f frames/s), %.2fx the larger, %.2fx the sum\n", wall, count / wall,
                wall / std::max(compute, encode), wall / (compute + encode));
    std::printf("overlapped, each thread's frames: computes %.2f s, encodes %.2f s\n", busy[0], busy[1]);
    std::printf("processor time: computes %.2f s, encodes %.2f s, overlapped %.2f s\n", computeCpu, encodeCpu, wallCpu);
    return 0;
}
