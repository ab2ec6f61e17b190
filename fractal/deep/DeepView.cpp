#include "DeepView.h"

#include "DecimalText.h"
#include "Mpfr.h"

namespace {
// log10(2), low enough that a zoom just inside the range is never refused.
constexpr double kDigitsPerBit = 0.30102;

// Zero is in range: a centre may be 0.
bool InRange(const std::string& text)
{
    Mpfr value(64);
    if (mpfr_set_str(value, text.c_str(), 10, MPFR_RNDN) != 0 || mpfr_nan_p(value) || mpfr_inf_p(value))
        return false;
    if (mpfr_zero_p(value))
        return true;
    const double decimalExponent = static_cast<double>(mpfr_get_exp(value)) * kDigitsPerBit;
    return decimalExponent <= DeepView::kZoomExponentRange + 1 && decimalExponent >= -DeepView::kZoomExponentRange - 1;
}
} // namespace

DeepView::Problem DeepView::Check() const
{
    if (!DecimalText::IsDecimal(centreX) || !DecimalText::IsDecimal(centreY))
        return Problem::CentreNotDecimal;
    if (!InRange(centreX) || !InRange(centreY))
        return Problem::CentreOutOfRange;
    if (!DecimalText::IsDecimal(zoom))
        return Problem::ZoomNotDecimal;
    const int sign = DecimalText::Sign(zoom);
    if (sign == 0)
        return Problem::ZoomZero;
    if (sign < 0)
        return Problem::ZoomNegative;
    if (!InRange(zoom))
        return Problem::ZoomOutOfRange;
    if (limit < 1 || limit > kMostIterations)
        return Problem::BadLimit;
    if (width < 1 || height < 1)
        return Problem::BadSize;
    return Problem::None;
}
