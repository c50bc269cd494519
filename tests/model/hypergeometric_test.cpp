// The hypergeometric probabilities against the ratio of binomial
// coefficients in extended precision, and Fisher's test on tables whose
// p-values follow from symmetry or a single table.
#include "model/hypergeometric.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

long double ln_choose(int n, int k) {
  int sign = 0;
  return lgammal_r(n + 1.0L, &sign) - lgammal_r(k + 1.0L, &sign) - lgammal_r(n - k + 1.0L, &sign);
}

TEST(Hypergeometric, AgreesWithBinomialCoefficients) {
  const std::array<int, 3> pools[] = {{1, 1, 1},    {3, 7, 4},       {10, 10, 9},
                                      {40, 60, 20}, {300, 700, 100}, {2000, 3000, 2500}};
  for (const auto [n1, n0, h] : pools) {
    const hypergeometric_pmf d = hypergeometric(n1, n0, h);
    ASSERT_EQ(d.xlo, std::max(0, h - n0));
    ASSERT_EQ(d.prob.size(), static_cast<std::size_t>(std::min(h, n1) - d.xlo + 1));
    for (std::size_t k = 0; k < d.prob.size(); ++k) {
      const int x = d.xlo + static_cast<int>(k);
      const auto want = static_cast<double>(
          std::exp(ln_choose(n1, x) + ln_choose(n0, h - x) - ln_choose(n1 + n0, h)));
      EXPECT_NEAR(d.prob[k], want, 1e-12 * want) << n1 << " " << n0 << " " << h << " " << x;
    }
  }
}

TEST(Hypergeometric, OneTableHasProbabilityOne) {
  for (const std::array<int, 3> p :
       {std::array<int, 3>{0, 10, 3}, {10, 0, 3}, {5, 5, 0}, {5, 5, 10}}) {
    const hypergeometric_pmf d = hypergeometric(p[0], p[1], p[2]);
    ASSERT_EQ(d.prob.size(), 1u);
    EXPECT_EQ(d.prob[0], 1.0);
    const fisher_p f = fisher_test(d, d.xlo);
    EXPECT_EQ(f.lower, 1.0);
    EXPECT_EQ(f.two_sided, 1.0);
    EXPECT_EQ(f.mid, 0.5);
  }
}

// Equal groups: X and h - X have one distribution, so the two-sided p of x
// is twice the lower tail (the middle outcome counted once), and mid-P of
// the middle outcome is 1/2.
TEST(Hypergeometric, FisherOnEqualGroups) {
  const hypergeometric_pmf d = hypergeometric(20, 20, 10);
  for (int x = 0; x < 5; ++x) {
    const fisher_p f = fisher_test(d, x);
    EXPECT_NEAR(f.two_sided, 2 * f.lower, 1e-15) << x;
    EXPECT_NEAR(f.mid, f.lower - d.prob[x] / 2, 1e-16) << x;
  }
  EXPECT_NEAR(fisher_test(d, 5).mid, 0.5, 1e-15);
  EXPECT_EQ(fisher_test(d, 5).two_sided, 1.0);
}

} // namespace
