#pragma once
// How many steps the lanes of a kernel take between two refills. A finished
// lane idles until the end of its block: shorter blocks idle less but refill
// more often, and the best length grows with the square root of the typical
// count, which the rate at which lanes finish tells.
#include <cmath>
#include <cstdint>

class LaneBlockLength {
public:
    explicit LaneBlockLength(int lanes) : m_lanes(lanes) {}

    // After a refill in which `finished` lanes took a new pixel; `room` is how
    // many steps the furthest lane has left before the limit, which no block passes.
    int Next(int finished, std::int64_t room)
    {
        if (m_steps > 0)
            m_finishRate += 0.125 * (finished / double(m_lanes * m_steps) - m_finishRate);
        const double best = std::sqrt(kScale / (m_finishRate + 1e-4));
        m_steps = best < kShortest ? kShortest : best > kLongest ? kLongest : static_cast<int>(best);
        if (room < m_steps)
            m_steps = static_cast<int>(room);
        return m_steps;
    }

private:
    static constexpr int kShortest = 4;
    static constexpr int kLongest = 64;
    static constexpr double kScale = 16.0;

    int m_lanes;
    int m_steps = 0;
    double m_finishRate = 0.05; // lanes finished per lane and iteration, smoothed
};
