#include "FastEscape.h"

std::int32_t FastEscapeCount(double x, double y, std::int32_t maxIterations)
{
    double re = 0.0, im = 0.0, re2 = 0.0, im2 = 0.0;
    double savedRe = 0.0, savedIm = 0.0;
    std::int32_t n = 0;
    std::int32_t nextSave = 8;
    while (n < maxIterations) {
        ++n;
        const double t = (im * re) * 2;
        re = (re2 - im2) + x;
        im = t + y;
        re2 = re * re;
        im2 = im * im;
        if (!(re2 + im2 <= kEscapeThreshold))
            return n;
        if (re == savedRe && im == savedIm)
            return maxIterations;
        // Brent's cycle detection: remember the orbit at doubling intervals.
        if (n == nextSave) {
            savedRe = re;
            savedIm = im;
            nextSave *= 2;
        }
    }
    return n;
}
