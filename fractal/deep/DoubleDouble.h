#pragma once
// A number as the unevaluated sum of two doubles, hi + lo with |lo| at most
// half an ulp of hi: about 106 bits, for the pixels whose count long doubles
// cannot be sure of. Dekker's exact sums and products, which need every
// operation rounded as written (no contraction into fused multiply-adds).
struct DoubleDouble {
    double hi = 0.0;
    double lo = 0.0;
};

namespace DoubleDoubleExact {
// a + b exactly, for any a and b.
inline DoubleDouble TwoSum(double a, double b)
{
    const double s = a + b;
    const double v = s - a;
    return {s, (a - (s - v)) + (b - v)};
}

// a + b exactly, for |a| >= |b|.
inline DoubleDouble QuickTwoSum(double a, double b)
{
    const double s = a + b;
    return {s, b - (s - a)};
}

// a split into two halves of 26 bits, whose products are exact.
inline DoubleDouble Split(double a)
{
    const double t = 134217729.0 * a; // 2^27 + 1
    const double hi = t - (t - a);
    return {hi, a - hi};
}

// a * b exactly.
inline DoubleDouble TwoProduct(double a, double b)
{
    const double p = a * b;
    const DoubleDouble x = Split(a);
    const DoubleDouble y = Split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}
} // namespace DoubleDoubleExact

inline DoubleDouble operator+(DoubleDouble a, DoubleDouble b)
{
    using namespace DoubleDoubleExact;
    DoubleDouble s = TwoSum(a.hi, b.hi);
    const DoubleDouble t = TwoSum(a.lo, b.lo);
    s = QuickTwoSum(s.hi, s.lo + t.hi);
    return QuickTwoSum(s.hi, s.lo + t.lo);
}

inline DoubleDouble operator-(DoubleDouble a) { return {-a.hi, -a.lo}; }
inline DoubleDouble operator-(DoubleDouble a, DoubleDouble b) { return a + -b; }

inline DoubleDouble operator*(DoubleDouble a, DoubleDouble b)
{
    using namespace DoubleDoubleExact;
    const DoubleDouble p = TwoProduct(a.hi, b.hi);
    return QuickTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

inline bool operator==(DoubleDouble a, DoubleDouble b) { return a.hi == b.hi && a.lo == b.lo; }

// Whether a exceeds the double d.
inline bool Exceeds(DoubleDouble a, double d) { return a.hi > d || (a.hi == d && a.lo > 0.0); }
