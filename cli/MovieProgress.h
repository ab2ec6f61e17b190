#pragma once
// The progress of a movie on a terminal: frames done, frames a second and
// the time left, on one line rewritten after each frame; nothing when the
// output is not a terminal, or before `delay` has passed.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

class MovieProgress {
public:
    MovieProgress(std::FILE* out, std::int32_t frames);
    // `terminal` says whether `out` is one (tests decide it themselves).
    MovieProgress(std::FILE* out, bool terminal, std::int32_t frames, std::chrono::milliseconds delay);
    ~MovieProgress() { Clear(); }
    MovieProgress(const MovieProgress&) = delete;
    MovieProgress& operator=(const MovieProgress&) = delete;

    void Report(std::int32_t done);
    // Leaves the line empty again.
    void Clear();
    // The line after `done` of `frames` frames in `seconds`.
    static std::string Line(std::int32_t done, std::int32_t frames, double seconds);

private:
    std::FILE* m_out;
    bool m_terminal;
    std::int32_t m_frames;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::milliseconds m_delay;
    std::size_t m_shown = 0;
};
