#include "InteriorRegion.h"

#include <cmath>

// Each region traps the orbit in discs that one step maps strictly inside
// themselves, with room for the rounding of a step (below 1e-14 at these
// magnitudes). z1 = c is exact, so the trap starts there.
//
// Cardioid: c = m/2 - m^2/4 with |m| <= 0.81, fixed point a = m/2. Then
// z' - a = (z - a)(z - a + m), so |z - a| <= 0.165 maps into
// |z - a| <= 0.165 * (0.165 + 0.81) and z1 - a = -m^2/4 starts inside;
// |z| stays below 0.6.
//
// Bulb: |c + 1| <= 1/8, 2-cycle b1 near 0 and b2 near -1, where
// |b1| <= 0.1465, |b2| <= 1.1465 and |c - b2| <= 0.0215 (power series of
// sqrt(1 - 4(c + 1)) with coefficients of one sign). z' - b1 = (z - b2)(z + b2)
// and z' - b2 = (z - b1)(z + b1): the disc |z - b2| <= 0.03 maps into
// |z - b1| <= 0.0697 and the disc |z - b1| <= 0.07 back into
// |z - b2| <= 0.0254. |z| stays below 1.2.
//
// The tests use |m| <= 0.8 and |c + 1|^2 <= 0.0156 so that their own rounding
// cannot let in a point outside those regions.
namespace InteriorRegion {
namespace {
bool InBulb(double x, double y)
{
    const double dx = x + 1.0;
    return dx * dx + y * y <= kBulbBound;
}

bool InCardioid(double x, double y)
{
    // m = 1 - s with s = sqrt(1 - 4c) on the principal branch:
    // |m|^2 = (1 - Re s)^2 + (Im s)^2, Re s = sqrt((|w| + Re w) / 2), (Im s)^2 = (|w| - Re w) / 2.
    if (!(x > kBoxLeft && x < kBoxRight && y > -kBoxHalfHeight && y < kBoxHalfHeight))
        return false;
    const double a = 1.0 - 4.0 * x;
    const double b = 4.0 * y;
    const double modulus = std::sqrt(a * a + b * b);
    const double re = std::sqrt((modulus + a) * 0.5);
    const double m2 = (1.0 - re) * (1.0 - re) + (modulus - a) * 0.5;
    return m2 <= kCardioidBound;
}
} // namespace

bool Contains(double x, double y) { return InCardioid(x, y) || InBulb(x, y); }
} // namespace InteriorRegion
