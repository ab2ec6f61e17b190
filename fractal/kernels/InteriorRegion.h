#pragma once
// Parts of the main cardioid and of the period-2 bulb whose orbits provably
// never escape in double arithmetic: their count is the limit, whatever it is.
namespace InteriorRegion {
// |c + 1|^2 below this: inside the bulb part.
constexpr double kBulbBound = 0.0156;
// |m|^2 below this, with c = m/2 - m^2/4: inside the cardioid part.
constexpr double kCardioidBound = 0.64;
// A box around the cardioid part, to skip its square roots elsewhere.
constexpr double kBoxLeft = -0.57;
constexpr double kBoxRight = 0.25;
constexpr double kBoxHalfHeight = 0.6;

bool Contains(double x, double y);
} // namespace InteriorRegion
