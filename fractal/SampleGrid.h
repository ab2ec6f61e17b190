#pragma once
// The sample points of one Compute: the x of every column the column loop
// visits and the y of every row the row loop visits, accumulated by repeated
// addition and ended early exactly as the literal loops end. Every column
// walks the same rows, so they are walked once.
#include <cstdint>
#include <vector>

class SampleGrid {
public:
    // Ys() can be read this far past the last row (the values there are 0).
    static constexpr int kReadablePastRows = 20;

    struct Bounds {
        double xmin, xmax, ymin, ymax;
    };

    // The grid of a W x H view about the calculator's centre (its row 0 the
    // top edge); false when no column can be sampled (a zoom that is not a
    // positive number, no width).
    bool BuildView(std::int32_t width, std::int32_t height, double centreX, double centreY, double zoom);
    // Rows first to last - 1 of `whole`, every column of it.
    void BuildBand(const SampleGrid& whole, std::int32_t first, std::int32_t last);

    // width >= 1. The xs are kept only when there are rows to sample.
    void Build(std::int32_t width, std::int32_t height, double inverseZoom, double planeHeight, const Bounds& bounds);

    std::int32_t Columns() const { return m_columns; }
    std::int32_t Rows() const { return m_rows; }
    const double* Xs() const { return m_xs.data(); }
    const double* Ys() const { return m_ys.data(); }

private:
    void BuildRows(std::int32_t height, double step, double ymin, double ymax);
    void BuildColumns(std::int32_t width, double step, double xmin, double xmax);

    std::vector<double> m_xs;
    std::vector<double> m_ys;
    std::int32_t m_columns = 0;
    std::int32_t m_rows = 0;
};
