// Binomial probabilities in logarithms and the normal tails beneath them,
// against closed forms evaluated in extended precision and against GSL.
#include "model/lnbinom.h"
#include "model/normal_tails.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>

namespace {

long double ln_fact(int n) {
  int sign = 0;
  return lgammal_r(n + 1.0L, &sign);
}

struct binom_case {
  int k, n;
  double p;
};
// Dyadic p, so that q = 1 - p is exact and the closed form below is the truth.
constexpr binom_case binom_cases[] = {
    {0, 1, 0.375},       {1, 1, 0.375},        {3, 10, 0.25},         {7, 10, 0.25},
    {15, 16, 0.875},     {16, 33, 0.5},        {100, 1000, 0.09375},  {130, 1000, 0.09375},
    {20, 1000, 0.09375}, {1000, 3000, 0.3125}, {2500, 7000, 0.34375}, {4000, 7000, 0.34375},
    {1, 10000, 0x1p-20}, {5000, 10000, 0.5}};

// Against ln C(n, k) + k ln p + (n - k) ln q in extended precision. The
// absolute error of the logarithm is the relative error of the probability;
// in doubles (gsl_sf_lnchoose or lgamma) ln C(7000, 2500) alone is off by 7e-12. Far
// from the mean (4000 of 7000: e^-759) only the logarithm's own size counts.
TEST(LnBinom, MatchesClosedForm) {
  for (const binom_case c : binom_cases) {
    const double p = c.p, q = 1.0 - c.p;
    const long double truth = ln_fact(c.n) - ln_fact(c.k) - ln_fact(c.n - c.k) +
                              c.k * std::log(static_cast<long double>(p)) +
                              (c.n - c.k) * std::log(static_cast<long double>(q));
    EXPECT_NEAR(ln_binom(c.k, binom_trials(c.n), p, q, std::log(p), std::log(q)),
                static_cast<double>(truth), 1e-14 + 1e-15 * std::fabs(static_cast<double>(truth)))
        << c.k << " of " << c.n << ", p " << p;
  }
}

TEST(LnBinom, StirlingError) {
  for (int n : {1, 2, 10, 15, 16, 17, 30}) {
    const long double x = n;
    const long double truth = ln_fact(n) - ((x + 0.5L) * std::log(x) - x +
                                            0.5L * std::log(2 * std::numbers::pi_v<long double>));
    EXPECT_NEAR(stirlerr(n), static_cast<double>(truth), 3e-17) << n;
  }
}

// Against erfc in extended precision, where no tail here underflows.
TEST(NormalTails, BothTailsAndLogsFarOut) {
  for (double z : {-45.0, -38.0, -12.0, -3.0, -0.5, 0.0, 0.5, 3.0, 12.0, 38.0, 45.0}) {
    const normal_tails t = normal_tails_at(z);
    const long double lower = 0.5L * std::erfc(-z / std::sqrt(2.0L));
    const long double upper = 0.5L * std::erfc(z / std::sqrt(2.0L));
    // Rounding z / sqrt 2 to a double moves a tail by up to z^2 1.1e-16 relative.
    const double rel = (3 + z * z) * 1.5e-16;
    EXPECT_NEAR(t.lncdf, std::log(lower), rel + 4e-16 * std::fabs(t.lncdf)) << z;
    EXPECT_NEAR(t.lnsf, std::log(upper), rel + 4e-16 * std::fabs(t.lnsf)) << z;
    EXPECT_NEAR(t.cdf, lower, rel * t.cdf) << z;
    EXPECT_NEAR(t.sf, upper, rel * t.sf) << z;
    EXPECT_NEAR(t.lnpdf, -0.5 * z * z - std::log(std::sqrt(2 * std::numbers::pi)),
                1e-15 * (1 + z * z))
        << z;
  }
}

} // namespace

// Pool weights against 40-digit values (tests/data/binomial/make_weights.py)
// for ntot from 10 to 10^6 and prop from 0.001 to 0.999: at the mode, and out
// to the last pool above 1e-20 on either side.
TEST(LnBinom, ExactProportionMatchesFortyDigitWeights) {
  std::ifstream in(std::string(TORVAN_TEST_DATA) + "/binomial/weights.tsv");
  ASSERT_TRUE(in) << "weights.tsv not found";
  std::string line;
  std::getline(in, line); // header
  int cases = 0;
  double worst = 0.0;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    int n = 0, k = 0;
    double p = 0.0;
    std::string weight;
    fields >> n >> p >> k >> weight;
    const double want = std::stod(weight);
    const double got = binom_probability(k, n, p);
    const double rel = std::fabs(got - want) / want;
    worst = std::max(worst, rel);
    EXPECT_LT(rel, 1e-14) << "n " << n << " k " << k << " p " << p;
    ++cases;
  }
  EXPECT_EQ(cases, 252);
  RecordProperty("worst_relative_error", std::to_string(worst));
}
