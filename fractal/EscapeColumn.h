#pragma once
// Escape counts of one column: the point x + i*ys[r] for each row r, each
// count exactly what FastEscapeCount gives. Uses AVX2 across rows where the
// processor has it.
#include <cstdint>

void EscapeColumn(double x, const double* ys, std::int64_t rows, std::int32_t maxIterations, std::int32_t* out);

// For tests and measurements: false forces the plain path.
void SetVectorEscapeAllowed(bool allowed);
bool VectorEscapeAvailable();
