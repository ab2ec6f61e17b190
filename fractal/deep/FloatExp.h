#pragma once
// A double mantissa with a wide binary exponent, for pixel deltas smaller
// than the doubles reach (past a magnification of about 1e300). The
// mantissa is 0 or has a magnitude in [0.5, 1).
#include <cmath>
#include <cstdint>

struct FloatExp {
    double m = 0.0;
    std::int64_t e = 0;

    FloatExp() = default;
    FloatExp(double value) : m(value) { Normalise(); }
    FloatExp(double mantissa, std::int64_t exponent) : m(mantissa), e(exponent) { Normalise(); }

    // Long doubles reach about 1e-4950; below that, 0.
    long double ToLongDouble() const
    {
        if (m == 0.0 || e < -17000)
            return 0.0L;
        if (e > 17000)
            return m * HUGE_VALL;
        return std::ldexp(static_cast<long double>(m), static_cast<int>(e));
    }

    void Normalise()
    {
        int shift = 0;
        m = std::frexp(m, &shift);
        e = m == 0.0 ? 0 : e + shift;
    }
};

inline FloatExp operator*(FloatExp a, FloatExp b) { return FloatExp(a.m * b.m, a.e + b.e); }
inline FloatExp operator*(FloatExp a, double b) { return FloatExp(a.m * b, a.e); }

inline FloatExp operator+(FloatExp a, FloatExp b)
{
    if (a.m == 0.0)
        return b;
    if (b.m == 0.0)
        return a;
    // Past 64 bits apart the smaller one is below the larger one's rounding.
    if (a.e - b.e > 64)
        return a;
    if (b.e - a.e > 64)
        return b;
    if (a.e >= b.e)
        return FloatExp(a.m + std::ldexp(b.m, static_cast<int>(b.e - a.e)), a.e);
    return FloatExp(std::ldexp(a.m, static_cast<int>(a.e - b.e)) + b.m, b.e);
}

inline FloatExp operator-(FloatExp a) { return FloatExp(-a.m, a.e); }
inline FloatExp operator-(FloatExp a, FloatExp b) { return a + -b; }

inline bool operator==(FloatExp a, FloatExp b) { return a.m == b.m && a.e == b.e; }

inline bool operator<(FloatExp a, FloatExp b)
{
    // Only compared for magnitudes: both are zero or positive.
    if (a.m == 0.0 || b.m == 0.0)
        return a.m < b.m;
    return a.e != b.e ? a.e < b.e : a.m < b.m;
}
