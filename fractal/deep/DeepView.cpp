#include "DeepView.h"

#include "DecimalText.h"
#include "Mpfr.h"

namespace {
// Zero is in range: a centre may be 0. A number too small for MPFR reads
// as 0 and one too large as infinite: both are far out of range.
bool InRange(const std::string& text)
{
    if (DecimalText::Sign(text) == 0)
        return true;
    Mpfr value(64);
    if (mpfr_set_str(value, text.c_str(), 10, MPFR_RNDN) != 0 || !mpfr_regular_p(value))
        return false;
    mpfr_abs(value, value, MPFR_RNDN);
    mpfr_log10(value, value, MPFR_RNDN);
    return mpfr_cmp_si(value, DeepView::kZoomExponentRange) <= 0 && mpfr_cmp_si(value, -DeepView::kZoomExponentRange) >= 0;
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
