#pragma once
// Escape counts of a view at any magnification, exact where the window's
// doubles are not: one reference orbit in MPFR (the centre's, or a nearby
// minibrot's), every pixel a delta from it (perturbation), runs of steps
// skipped by bilinear approximation, the columns shared among all cores.
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "DeepView.h"
#include "fractal/WorkerPool.h"

class DeepCalculator {
public:
    // Called on the calling thread with the number of columns done, growing.
    using Progress = std::function<void(std::int32_t columnsDone)>;

    // Fills `counts` with width * height entries, column c row r at c * height + r,
    // each the count of the window's rule. The view must pass Check(). Returns
    // false, with `counts` incomplete, when `cancel` was raised.
    bool Compute(const DeepView& view, std::vector<std::int32_t>& counts, const Progress& progress = {},
                 const std::atomic<bool>* cancel = nullptr);

private:
    WorkerPool m_pool;
};
