// Adverse impact rules. At effect size 0 a pool's minority hires X are
// hypergeometric; every rule flags the outcomes up to a threshold, so its
// probability is the distribution function of X there.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include <gsl/gsl_cdf.h>
#include <gsl/gsl_randist.h>

#include "engine/rules.h"

namespace {

std::vector<double> hypergeometric(int n1, int n0, int h) {
  std::vector<double> p;
  for (int x = std::max(0, h - n0); x <= std::min(h, n1); ++x)
    p.push_back(gsl_ran_hypergeometric_pdf(x, n1, n0, h));
  return p;
}

TEST(Rules, KnownPoolIsHypergeometricUpToEachThreshold) {
  const std::array<int, 3> pools[] = {{1, 1, 1},    {3, 7, 4},       {10, 10, 9},    {2, 30, 5},
                                      {40, 60, 20}, {150, 250, 100}, {300, 100, 350}};
  for (auto [n1, n0, h] : pools)
    for (double alpha : {1e-12, 0.05, 0.5, 0.999999}) {
      const int xlo = std::max(0, h - n0), ntot = n1 + n0;
      const double p = double(h) / ntot, z = gsl_cdf_ugaussian_Qinv(alpha / 2);
      const double se = std::sqrt((1 - p) / p * ntot / (double(n1) * n0));
      const double chi2_crit = gsl_cdf_chisq_Qinv(alpha, 1);
      auto F = [&](int x) { return x < xlo ? 0.0 : gsl_cdf_hypergeometric_P(x, n1, n0, h); };
      double fisher = 0; // the largest F(x) not above alpha / 2
      for (int x = xlo; x <= std::min(h, n1); ++x)
        if (F(x) <= alpha / 2 * (1 + 1e-9)) fisher = F(x);
      // The largest x each other rule flags, by brute force in rates; Z as a 2x2 chi-square.
      int t[] = {xlo - 1, xlo - 1, xlo - 1, xlo - 1};
      for (int x = xlo; x <= std::min(h, n1); ++x) {
        const double r1 = double(x) / n1, r0 = double(h - x) / n0;
        const double d = double(x) * (n0 - h + x) - double(n1 - x) * (h - x);
        const double chi2 = ntot * d * d / (double(n1) * n0 * h * (ntot - h));
        const bool flags[] = {r1 < 0.8 * r0 - 1e-12, (x + 1.0) / n1 < 0.8 * r0 - 1e-12,
                              (r0 > r1 && chi2 >= chi2_crit),
                              x == 0 || r1 <= r0 * std::exp(-z * se)};
        for (int r = 0; r < 4; ++r)
          if (flags[r]) t[r] = x;
      }
      audit_tally tally(ntot, h, alpha);
      tally.add_pool(n1, 1.0, xlo, hypergeometric(n1, n0, h));
      const audit &a = tally.result();
      const int both = std::min(t[0], t[2]);
      const double got[] = {
          a.four_fifths,       a.four_fifths_one_person,     a.z_test, a.z_ir, a.fisher_exact,
          a.four_fifths_and_z, a.z_not_four_fifths + F(both)};
      const double want[] = {F(t[0]), F(t[1]), F(t[2]), F(t[3]), fisher, F(both), F(t[2])};
      for (int r = 0; r < 7; ++r)
        EXPECT_NEAR(got[r], want[r], 1e-10 * want[r] + 1e-14)
            << n1 << " " << n0 << " " << h << " " << alpha << " " << r;
    }
}

// With binomial pool weights and no effect the minority hires are Binomial(h, prop).
TEST(Rules, MixedOverBinomialPools) {
  const int ntot = 40;
  const double prop = 0.3, absent = std::pow(1 - prop, ntot) + std::pow(prop, ntot);
  for (int h : {0, 12, 40}) {
    audit_tally tally(ntot, h, 0.05);
    for (int n1 = 0; n1 <= ntot; ++n1)
      tally.add_pool(n1, gsl_ran_binomial_pdf(n1, prop, ntot), std::max(0, h - (ntot - n1)),
                     hypergeometric(n1, ntot - n1, h));
    const audit &a = tally.result();
    const bool none = h == 0 || h == ntot;
    EXPECT_NEAR(a.no_comparison, none ? 1.0 : absent, 1e-14);
    EXPECT_NEAR(a.undefined_group_absent, absent, 1e-14);
    const double x0 = std::pow(1 - prop, h) - (h == 0 ? std::pow(prop, ntot) : 0.0);
    EXPECT_NEAR(a.undefined_no_minority_hired, x0 - std::pow(1 - prop, ntot), 1e-14);
    EXPECT_NEAR(a.four_fifths, a.four_fifths_and_z + a.four_fifths_not_z, 1e-15);
    EXPECT_NEAR(a.z_test, a.four_fifths_and_z + a.z_not_four_fifths, 1e-15);
    for (double r : {a.four_fifths_one_person, a.z_test, a.fisher_exact, a.z_ir})
      EXPECT_EQ(r > 0.0, !none);
  }
}

TEST(Rules, BoundaryOutcomes) {
  struct outcome {
    int n1, n0, h, x;
    std::string want; // four fifths, one person, Z, Fisher, impact-ratio Z
    double alpha = 0.05;
  };
  const outcome table[] = {
      {0, 10, 3, 0, "00000"},     {10, 0, 3, 3, "00000"},  // a group absent
      {5, 5, 0, 0, "00000"},      {5, 5, 10, 5, "00000"},  // nobody, everybody hired
      {10, 10, 5, 0, "11111"},                             // none of 5 hires
      {1, 1, 1, 0, "10001"},                               // too few to test, yet ln 0 for Z_IR
      {3, 10, 5, 3, "00000"},     {10, 10, 5, 5, "00000"}, // every minority, no majority hire
      {10, 10, 9, 4, "00000"},                             // rates 0.4 and 0.5: four fifths exactly
      {10, 10, 9, 3, "11000"},                             // 0.3 and 0.6
      {19, 1, 1, 0, "11111", 0.1}};                        // Fisher tail 1/20 = alpha / 2
  for (const outcome &o : table) {
    const std::vector<rule_flags> f = pool_flags(o.n1, o.n0, o.h, o.alpha);
    const int xlo = std::max(0, o.h - o.n0);
    ASSERT_EQ(f.size(), std::size_t(std::min(o.h, o.n1) - xlo + 1));
    const rule_flags &g = f[o.x - xlo];
    std::string got;
    for (bool b : {g.four_fifths, g.four_fifths_one_person, g.z_test, g.fisher_exact, g.z_ir})
      got += b ? '1' : '0';
    EXPECT_EQ(got, o.want) << o.n1 << " " << o.n0 << " " << o.h << " " << o.x;
  }
}

} // namespace
