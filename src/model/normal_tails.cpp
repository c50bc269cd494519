// Normal tails and their logarithms; see normal_tails.h.
#include "model/normal_tails.h"

#include <cmath>

#include <gsl/gsl_sf_erf.h>

namespace {

constexpr double ln_sqrt_2pi = 0.91893853320467274178;
constexpr double sqrt1_2 = 0.70710678118654752440;
constexpr double ln2 = 0.69314718055994530942;

} // namespace

normal_tails normal_tails_at(double z) {
  const double a = std::fabs(z) * sqrt1_2;
  const double small = 0.5 * std::erfc(a);
  // Below the smallest normal number log would see a rounded or zero tail.
  const double lnsmall = small > 1e-300 ? std::log(small) : gsl_sf_log_erfc(a) - ln2;
  const double big = 1.0 - small;
  const double lnbig = std::log1p(-small);
  const double lnpdf = -0.5 * z * z - ln_sqrt_2pi;
  if (z < 0.0) return {small, big, lnsmall, lnbig, lnpdf};
  return {big, small, lnbig, lnsmall, lnpdf};
}
