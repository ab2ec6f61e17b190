#include "DeepZoomCurve.h"

#include "Mpfr.h"

namespace {
// Far more than a pixel step needs, at any magnitude (MPFR's exponent is separate).
constexpr mpfr_prec_t kPrecision = 256;
// The digits of 256 bits, and a few more.
constexpr std::size_t kDigits = 80;

// d.ddd...e<exponent>, as DecimalText reads it.
std::string DecimalOf(mpfr_srcptr value)
{
    mpfr_exp_t exponent = 0;
    char* digits = mpfr_get_str(nullptr, &exponent, 10, kDigits, value, MPFR_RNDN);
    const std::string text = std::string(1, digits[0]) + "." + (digits + 1) + "e" + std::to_string(exponent - 1);
    mpfr_free_str(digits);
    return text;
}
} // namespace

std::string DeepFrameZoom(const std::string& zoomStart, const std::string& zoomEnd, std::int32_t k,
                          std::int32_t frames)
{
    if (k == 0)
        return zoomStart;
    if (k == frames - 1)
        return zoomEnd;
    Mpfr start(kPrecision), ratio(kPrecision), step(kPrecision);
    mpfr_set_str(start, zoomStart.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(ratio, zoomEnd.c_str(), 10, MPFR_RNDN);
    mpfr_div(ratio, ratio, start, MPFR_RNDN);
    mpfr_set_si(step, k, MPFR_RNDN);
    mpfr_div_si(step, step, frames - 1, MPFR_RNDN);
    mpfr_pow(ratio, ratio, step, MPFR_RNDN);
    mpfr_mul(start, start, ratio, MPFR_RNDN);
    return DecimalOf(start);
}

void FreeDeepThreadCaches() { mpfr_free_cache2(MPFR_FREE_LOCAL_CACHE); }
