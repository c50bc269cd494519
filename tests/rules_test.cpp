// Adverse impact rules: at effect size 0 a pool's minority hires are
// hypergeometric, and every rule flags exactly the outcomes up to a threshold,
// so its probability is the distribution function at that threshold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
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

TEST(Rules, KnownPoolFlagsUpToThresholdAndHasHypergeometricProbability) {
  struct pool {
    int n1, n0, h;
  };
  for (auto [n1, n0, h] : {pool{1, 1, 1},
                           {3, 7, 4},
                           {10, 10, 9},
                           {2, 30, 5},
                           {40, 60, 20},
                           {150, 250, 100},
                           {300, 100, 350}})
    for (double alpha : {1e-12, 0.05, 0.5, 0.999999}) {
      const int xlo = std::max(0, h - n0), xhi = std::min(h, n1);
      const double p = double(h) / (n1 + n0), z = gsl_cdf_ugaussian_Qinv(alpha / 2);
      const double se = std::sqrt((1 - p) / p * (n1 + n0) / (double(n1) * n0));
      auto F = [&](int x) { return x < xlo ? 0.0 : gsl_cdf_hypergeometric_P(x, n1, n0, h); };
      double fisher = 0; // the largest distribution function value not above alpha / 2
      for (int x = xlo; x <= xhi; ++x)
        if (F(x) <= alpha / 2 * (1 + 1e-9)) fisher = std::max(fisher, F(x));
      // Brute-force truths in rates; the Z test as the Pearson chi-square of the 2x2 table.
      const std::vector<std::function<bool(double, double, int)>> truth = {
          [&](double r1, double r0, int) { return r1 < 0.8 * r0 - 1e-12; },
          [&](double, double r0, int x) { return (x + 1.0) / n1 < 0.8 * r0 - 1e-12; },
          [&](double r1, double r0, int x) {
            const double d = double(x) * (n0 - (h - x)) - double(n1 - x) * (h - x);
            const double chi2 = (n1 + n0) * d * d / (double(n1) * n0 * h * (n1 + n0 - h));
            return r0 > r1 && chi2 >= gsl_cdf_chisq_Qinv(alpha, 1);
          },
          [&](double, double, int x) { return F(x) <= fisher; },
          [&](double r1, double r0, int x) { return x == 0 || r1 <= r0 * std::exp(-z * se); }};
      const std::vector<rule_flags> flags = pool_flags(n1, n0, h, alpha);
      std::vector<int> t(truth.size(), xlo - 1); // largest outcome each rule flags
      for (int x = xlo; x <= xhi; ++x)
        for (std::size_t r = 0; r < truth.size(); ++r)
          if (truth[r](double(x) / n1, double(h - x) / n0, x)) t[r] = x;
      for (int x = xlo; x <= xhi; ++x) {
        const rule_flags &f = flags[x - xlo];
        const bool got[] = {f.four_fifths, f.four_fifths_one_person, f.z_test, f.fisher_exact,
                            f.z_ir};
        for (std::size_t r = 0; r < truth.size(); ++r)
          EXPECT_EQ(got[r], x <= t[r]) << n1 << " " << n0 << " " << h << " " << alpha << " " << r;
      }
      audit_tally tally(n1 + n0, h, alpha);
      tally.add_pool(n1, 1.0, xlo, hypergeometric(n1, n0, h));
      const audit &a = tally.result();
      const int both = std::min(t[0], t[2]);
      const std::pair<double, double> pairs[] = {{a.four_fifths, F(t[0])},
                                                 {a.four_fifths_one_person, F(t[1])},
                                                 {a.z_test, F(t[2])},
                                                 {a.fisher_exact, F(t[3])},
                                                 {a.z_ir, F(t[4])},
                                                 {a.four_fifths_and_z, F(both)},
                                                 {a.four_fifths_not_z, F(t[0]) - F(both)},
                                                 {a.z_not_four_fifths, F(t[2]) - F(both)}};
      for (auto [got, want] : pairs)
        EXPECT_NEAR(got, want, 1e-10 * want + 1e-14);
      EXPECT_NEAR(a.fisher_exact, fisher, 1e-10 * fisher);
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
    EXPECT_NEAR(a.undefined_no_minority_hired,
                std::pow(1 - prop, h) - std::pow(1 - prop, ntot) -
                    (h == 0 ? std::pow(prop, ntot) : 0),
                1e-14);
    EXPECT_NEAR(a.four_fifths, a.four_fifths_and_z + a.four_fifths_not_z, 1e-15);
    EXPECT_NEAR(a.z_test, a.four_fifths_and_z + a.z_not_four_fifths, 1e-15);
    EXPECT_LE(a.four_fifths_one_person, a.four_fifths);
    for (double r : {a.four_fifths, a.z_test, a.fisher_exact, a.z_ir}) {
      EXPECT_EQ(r > 0.0, !none);
      EXPECT_LE(r + a.no_comparison, 1.0 + 1e-14);
    }
  }
}

TEST(Rules, BoundaryOutcomes) {
  struct outcome {
    int n1, n0, h, x;
    rule_flags want; // four fifths, one person, Z, Fisher, impact-ratio Z
    double alpha = 0.05;
  };
  const outcome table[] = {
      {0, 10, 3, 0, {}},                                   // no minority applicant
      {10, 0, 3, 3, {}},                                   // no majority applicant
      {5, 5, 0, 0, {}},                                    // nobody hired
      {5, 5, 10, 5, {}},                                   // everybody hired
      {10, 10, 5, 0, {true, true, true, true, true}},      // none of 5 hires: every rule
      {1, 1, 1, 0, {true, false, false, false, true}},     // too few for the tests but Z_IR
      {3, 10, 5, 3, {}},                                   // every minority applicant hired
      {10, 10, 5, 5, {}},                                  // no majority hire
      {10, 10, 9, 4, {}},                                  // rates 0.4 and 0.5: exactly four fifths
      {10, 10, 9, 3, {true, true, false, false, false}},   // 0.3 against 0.6
      {19, 1, 1, 0, {true, true, true, true, true}, 0.1}}; // Fisher tail 1/20 = alpha / 2
  for (const outcome &o : table) {
    const std::vector<rule_flags> f = pool_flags(o.n1, o.n0, o.h, o.alpha);
    const int xlo = std::max(0, o.h - o.n0);
    ASSERT_EQ(f.size(), std::size_t(std::min(o.h, o.n1) - xlo + 1));
    const rule_flags &g = f[o.x - xlo];
    EXPECT_EQ((std::vector<bool>{g.four_fifths, g.four_fifths_one_person, g.z_test, g.fisher_exact,
                                 g.z_ir}),
              (std::vector<bool>{o.want.four_fifths, o.want.four_fifths_one_person, o.want.z_test,
                                 o.want.fisher_exact, o.want.z_ir}))
        << o.n1 << " " << o.n0 << " " << o.h << " " << o.x;
  }
}

} // namespace
