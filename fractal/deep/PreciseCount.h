#pragma once
// The count of one pixel iterated from its own point in fixed point, for the few
// whose orbits wander so long in a valley that double-doubles lose them
// (rounding grows by |2z| a step: thousands of steps can need hundreds of
// bits). The bits beyond those that place the pixel double until an
// estimate of the rounding's growth keeps every escape test on its side.
#include <atomic>
#include <cstdint>
#include <mpfr.h>

#include "DeepView.h"

class PreciseCount {
public:
    // `precision`: the bits that place every pixel of the view.
    PreciseCount(const DeepView& view, mpfr_prec_t precision);

    // Column c, row r, the rows over the conjugate plane as the calculator's.
    // Returns early, with any count, once `cancel` is raised.
    std::int32_t Count(std::int32_t column, std::int32_t row, const std::atomic<bool>* cancel) const;

private:
    struct Attempt {
        std::int32_t count;
        bool sure;
    };
    Attempt CountAt(mpfr_prec_t precision, std::int32_t column, std::int32_t row,
                    const std::atomic<bool>* cancel) const;

    const DeepView& m_view;
    mpfr_prec_t m_precision;
    mpfr_prec_t m_most;
};
