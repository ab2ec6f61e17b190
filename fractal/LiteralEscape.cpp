#include "LiteralEscape.h"

#include <cmath>

std::int32_t LiteralEscapeCount(double x, double y, std::int32_t maxIterations)
{
    double re = 0.0;
    double im = 0.0;
    std::int32_t n = 0;
    while (n < maxIterations) {
        ++n;
        const double t = (im * re) * 2;
        const double nextRe = ((re * re) - (im * im)) + x;
        const double nextIm = t + y;
        const double modulus = std::sqrt((nextRe * nextRe) + (nextIm * nextIm));
        re = nextRe;
        im = nextIm;
        if (!(modulus * modulus <= 4.0))
            break;
    }
    return n;
}
