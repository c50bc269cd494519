// ln Gamma and ln Beta of whole numbers (see lnbeta.h).
//
// Method: for arguments of at least 10, Stirling's series with its remainder
// (the "correction") taken from a 6-term Chebyshev series in (10/x)^2; below 10,
// Gamma of a whole number is the exact factorial. ln B uses the usual split into
// Stirling parts so that the large terms cancel analytically, with ln(1 + x) from
// a 23-term Chebyshev series on |x| <= 0.375 (Fullerton's construction).
//
// Coefficient tables: the Stirling-correction series L and the ln(1 + x) series R
// are the ones the reference reports were computed with, written as hexadecimal
// literals so the bits are exact. The golden files in tests/data/special pin the
// results bit for bit.
//
// Every expression below is evaluated left to right as double operations with no
// fused multiply-add (-ffp-contract=off); regrouping any sum changes the last bits.

#include "model/lnbeta.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace {

constexpr double ln_sqrt_2pi = 0.91893853320467274178032973640562;

// Stirling-correction series (6 terms).
constexpr std::array<double, 6> L = {
    0x1.5546cd00c0585p-3,   -0x1.d0b6247814e7cp-17, 0x1.5118ef5d24dap-27,
    -0x1.3e43f2c52269ep-36, 0x1.182c608cbfad6p-44,  -0x1.87f2ecbae0cb1p-52,
};

// ln(1 + x) series on |x| <= 0.375 (23 terms).
constexpr std::array<double, 23> R = {
    0x1.09b1ce5eb811dp+0,  -0x1.11b36dd7cc21dp-3,  0x1.3dfc18d3d1d0ap-6,  -0x1.8aa02d7db79a8p-9,
    0x1.fe999c7cba2a1p-12, -0x1.53f804484aa81p-14, 0x1.ce5766bef61d2p-17, -0x1.3f77c61db8b1p-19,
    0x1.bf1c4df5c5cabp-22, -0x1.3c1778142704cp-24, 0x1.c2b7bbfa9a43ep-27, -0x1.439f9e4307c3dp-29,
    0x1.d38af7574620ap-32, -0x1.537d3873b471fp-34, 0x1.ef3f0d9f9e17ep-37, -0x1.6aaadddd12cbep-39,
    0x1.0a8399312f94dp-41, -0x1.88ef4351e6163p-44, 0x1.2279a93dd1044p-46, -0x1.ae8db38be97b6p-49,
    0x1.3fd3104e8f0cep-51, -0x1.dc2396b1ff914p-54, 0x1.631aaf34d1b23p-56,
};

// Clenshaw sum of a Chebyshev series on [-1, 1], highest coefficient first.
template <std::size_t N> double cheb(double x, const std::array<double, N> &c) {
  double b0 = 0.0, b1 = 0.0, b2 = 0.0;
  const double t = 2.0 * x;
  for (std::size_t i = N; i-- > 0;) {
    b2 = b1;
    b1 = b0;
    b0 = t * b1 - b2 + c[i]; // (t*b1 - b2) + c: not t*b1 + (c - b2)
  }
  return 0.5 * (b0 - b2);
}

// ln Gamma(x) - Stirling's approximation, for x >= 10.
double corr(double x) {
  if (x > 94906265.62) return 1.0 / (12.0 * x); // series no longer needed
  const double u = 10.0 / x;
  return cheb(2.0 * (u * u) - 1.0, L) / x;
}

// ln(1 + x), accurate for small |x| where log(1 + x) would lose x's low bits.
double lnrel(double x) {
  if (std::fabs(x) <= 0.375) return x * (1.0 - x * cheb(x / 0.375, R));
  // Not log1p: the golden files pin the bits of log(1 + x) here.
  // cppcheck-suppress unpreciseMathCall
  return std::log(1.0 + x);
}

// Gamma(n) for whole n >= 1: the exact factorial up to 10, Stirling above.
double gamma_whole(double n) {
  if (n <= 10.0) {
    double g = 1.0;
    for (double k = 2.0; k < n; k += 1.0)
      g *= k;
    return g;
  }
  return std::exp((n - 0.5) * std::log(n) - n + ln_sqrt_2pi + corr(n));
}

} // namespace

double dlngam(double n) {
  if (n <= 10.0) return std::log(gamma_whole(n));
  return ln_sqrt_2pi + (n - 0.5) * std::log(n) - n + corr(n); // summed left to right
}

double dlbeta(double a, double b) {
  const double p = std::min(a, b);
  const double q = std::max(a, b);
  const double pq = p + q;

  if (p >= 10.0) {
    const double c = corr(p) + corr(q) - corr(pq);
    return -0.5 * std::log(q) + ln_sqrt_2pi + c + (p - 0.5) * std::log(p / pq) + q * lnrel(-p / pq);
  }
  if (q >= 10.0) {
    const double c = corr(q) - corr(pq);
    return dlngam(p) + c + p - p * std::log(pq) + (q - 0.5) * lnrel(-p / pq);
  }
  // Gamma(p + q) may exceed 10 and take the Stirling branch.
  return std::log(gamma_whole(p) * (gamma_whole(q) / gamma_whole(pq)));
}
