#pragma once
// Proof that a pixel's orbit never escapes. Once its restart points (where
// it comes nearer to 0 than to the reference) move closer together each
// time, a disc about one of them is carried through the steps to the next
// restart, its radius bounding how far any of its points' orbits is from the
// pixel's own (|2z| r + r^2 a plain step, |A| r plus the dropped squares at
// the disc's edge a run, and the rounding). When it comes back inside itself,
// the steps map the disc into the disc for ever: every orbit from it stays
// bounded, the pixel's among them, which is within its error of the centre.
#include <algorithm>
#include <cmath>
#include <limits>

template <class Z>
class InteriorDisc {
public:
    bool Carried() const { return m_radius > 0; }
    Z Radius() const { return m_radius; }

    // After a step magnifying distances by `growth`, dropping at most
    // `dropped` at the disc's edge, of squares at most `square`.
    void Step(Z growth, Z dropped, Z square, Z rounding) { m_radius = growth * m_radius + square + dropped + rounding; }

    // At a restart to (zr, zi), within `error` of the pixel's exact point and
    // with `rounding` more from the restart itself: true when the disc carried
    // from the previous restart came back inside itself.
    bool Restart(Z zr, Z zi, Z error, Z rounding)
    {
        if (Carried() && Modulus(zr - m_centreR, zi - m_centreI) + m_radius + rounding <= kSlack * m_start)
            return true;
        const Z moved = Modulus(zr - m_lastR, zi - m_lastI);
        const Z shrink = moved / m_lastMoved;
        m_lastR = zr;
        m_lastI = zi;
        m_lastMoved = moved;
        m_radius = 0;
        // Where the moves shrink by q a period, a disc of k moves comes back
        // inside itself when q (k + 1) < k: k = 4 q / (1 - q) + 4 leaves room.
        if (!(shrink < 1))
            return false;
        const Z start = std::max((4 * shrink / (1 - shrink) + 4) * moved, 2 * (error + rounding));
        // Small next to z, the disc stays small next to the runs' radii, its square next to its growth.
        if (!(start < kLargestShare * Modulus(zr, zi)))
            return false;
        m_centreR = zr;
        m_centreI = zi;
        m_start = start;
        m_radius = start;
        return false;
    }

private:
    static Z Modulus(Z x, Z y) { return std::sqrt(x * x + y * y); }

    static constexpr Z kLargestShare = Z(0x1p-8);
    // Keeps the comparison clear of the rounding of the moduli.
    static constexpr Z kSlack = Z(1) - Z(0x1p-20);

    Z m_lastR = std::numeric_limits<Z>::quiet_NaN();
    Z m_lastI = std::numeric_limits<Z>::quiet_NaN();
    Z m_lastMoved = std::numeric_limits<Z>::quiet_NaN();
    Z m_centreR = 0;
    Z m_centreI = 0;
    Z m_start = 0;
    Z m_radius = 0;
};
