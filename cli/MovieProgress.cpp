#include "MovieProgress.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace {
// 1:05 or 2:01:05.
std::string Duration(double seconds)
{
    const auto total = static_cast<long long>(std::ceil(seconds));
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}
} // namespace

MovieProgress::MovieProgress(std::FILE* out, std::int32_t frames)
    : MovieProgress(out, isatty(fileno(out)) == 1, frames, std::chrono::milliseconds(500))
{
}

MovieProgress::MovieProgress(std::FILE* out, bool terminal, std::int32_t frames, std::chrono::milliseconds delay)
    : m_out(out), m_terminal(terminal), m_frames(frames), m_start(std::chrono::steady_clock::now()), m_delay(delay)
{
}

std::string MovieProgress::Line(std::int32_t done, std::int32_t frames, double seconds)
{
    const double rate = seconds > 0 ? done / seconds : 0;
    char text[128];
    std::snprintf(text, sizeof text, "Film : %d/%d images, %.1f images/s, reste %s", done, frames, rate,
                  rate > 0 ? Duration((frames - done) / rate).c_str() : "?");
    return text;
}

void MovieProgress::Report(std::int32_t done)
{
    const auto elapsed = std::chrono::steady_clock::now() - m_start;
    if (!m_terminal || elapsed < m_delay)
        return;
    const std::string line = Line(done, m_frames, std::chrono::duration<double>(elapsed).count());
    // A shorter line covers what the last one left.
    std::fprintf(m_out, "\r%-*s", int(m_shown), line.c_str());
    std::fflush(m_out);
    m_shown = std::max(m_shown, line.size());
}

void MovieProgress::Clear()
{
    if (m_shown == 0)
        return;
    std::fprintf(m_out, "\r%*s\r", int(m_shown), "");
    std::fflush(m_out);
    m_shown = 0;
}
