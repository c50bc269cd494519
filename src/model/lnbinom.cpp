// Binomial probabilities in logarithms by Loader's saddle-point form; see lnbinom.h.
#include "model/lnbinom.h"

#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr double two_pi = 6.28318530717958647693;
constexpr long double ln_2pi = 1.837877066409345483560659472811235L;

// stirlerr(0..15) in extended precision: ln n! as a sum of logarithms, then
// the Stirling approximation subtracted; below 16 the series is too short.
const std::array<double, 16> &small_stirlerr() {
  static const std::array<double, 16> table = [] {
    std::array<double, 16> t{};
    long double lnfact = 0.0L;
    for (int n = 1; n < 16; ++n) {
      const long double x = n;
      lnfact += std::log(x);
      t[n] = static_cast<double>(lnfact - ((x + 0.5L) * std::log(x) - x + 0.5L * ln_2pi));
    }
    return t;
  }();
  return table;
}

} // namespace

double stirlerr(int n) {
  if (n < 16) return small_stirlerr()[n];
  // Asymptotic series 1/12n - 1/360n^3 + 1/1260n^5 - 1/1680n^7 + 1/1188n^9
  // - 691/360360n^11; the next term, 1/156n^13, is below 2e-18 from n = 16 on.
  const double x = n, x2 = 1.0 / (x * x);
  const double c6 = 691.0 / 360360;
  return (1.0 / 12 -
          (1.0 / 360 - (1.0 / 1260 - (1.0 / 1680 - (1.0 / 1188 - c6 * x2) * x2) * x2) * x2) * x2) /
         x;
}

namespace {

// bd0 in any floating type (see lnbinom.h).
template <class real> real deviance(real x, real mean) {
  if (std::fabs(x - mean) < real(0.1) * (x + mean)) {
    // x ln(x/m) + m - x = (x - m) v + 2x (v^3/3 + v^5/5 + ...), v = (x - m)/(x + m):
    // no cancellation between x ln(x/m) and x - m.
    const real v = (x - mean) / (x + mean), v2 = v * v;
    real s = (x - mean) * v;
    real term = 2 * x * v;
    for (int j = 1;; ++j) {
      term *= v2;
      const real next = s + term / (2 * j + 1);
      if (next == s) return s;
      s = next;
    }
  }
  return x * std::log(x / mean) + mean - x;
}

} // namespace

double bd0(double x, double mean, double ln_mean) {
  if (mean > 1e-300) return deviance(x, mean);
  return x * (std::log(x) - ln_mean) + mean - x; // x is then far above the mean
}

binom_trials::binom_trials(int trials)
    : n(trials), ln_n(std::log(static_cast<double>(trials))), stirlerr_n(stirlerr(trials)) {}

double ln_binom(int k, const binom_trials &t, double p, double q, double ln_p, double ln_q) {
  const int n = t.n;
  if (k == 0) return n * ln_q;
  if (k == n) return n * ln_p;
  const double nd = n, kd = k, rd = n - k;
  return t.stirlerr_n - stirlerr(k) - stirlerr(n - k) - bd0(kd, nd * p, t.ln_n + ln_p) -
         bd0(rd, nd * q, t.ln_n + ln_q) + 0.5 * std::log(nd / (two_pi * kd * rd));
}

double binom_probability(int k, int n, double p) {
  using real = long double;
  const real pe = p, qe = 1 - pe, nd = n;
  if (k == 0) return static_cast<double>(std::exp(nd * std::log1p(-pe)));
  if (k == n) return static_cast<double>(std::exp(nd * std::log(pe)));
  const real kd = k, rd = n - k;
  // stirlerr is within 1e-18 of its value in doubles: below 0.1 and accurate.
  const real ln_b = static_cast<real>(stirlerr(n)) - stirlerr(k) - stirlerr(n - k) -
                    deviance(kd, nd * pe) - deviance(rd, nd * qe) +
                    0.5L * std::log(nd / (2 * std::numbers::pi_v<real> * kd * rd));
  return static_cast<double>(std::exp(ln_b));
}
