// The direct method against independent truths: the hypergeometric closed
// form at effect size 0, a second formulation (best minority order statistic
// against the majority's, as an incomplete beta function) integrated by GSL,
// the exact two-applicant case, the symmetry of swapping the groups, and
// sums to one.
#include "engine/direct.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <gsl/gsl_cdf.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_integration.h>
#include <gsl/gsl_sf_erf.h>
#include <gsl/gsl_sf_gamma.h>

namespace {

// The promised accuracy: 1e-11 relative, or 1e-16 absolute for small values.
double allowed(double truth) {
  return std::max(1e-11 * truth, 1e-16);
}

void expect_accurate(const direct_result &r) {
  EXPECT_TRUE(r.accurate);
  EXPECT_LE(r.worst_error, 1.0);
}

long double ln_choose(int n, int k) {
  int sign = 0;
  return lgammal_r(n + 1.0L, &sign) - lgammal_r(k + 1.0L, &sign) - lgammal_r(n - k + 1.0L, &sign);
}

struct pool_case {
  int n1, n0, h;
};

TEST(DirectPool, HypergeometricAtEffectSizeZero) {
  for (const pool_case c : {pool_case{3, 7, 4}, {40, 60, 25}, {300, 700, 100}, {1500, 2500, 400}}) {
    const direct_result r = direct_pool(c.n1, c.n0, c.h, 0.0);
    expect_accurate(r);
    ASSERT_EQ(r.xlo, std::max(0, c.h - c.n0));
    ASSERT_EQ(r.prob.size(), static_cast<std::size_t>(std::min(c.h, c.n1) - r.xlo + 1));
    for (std::size_t k = 0; k < r.prob.size(); ++k) {
      const int x = r.xlo + static_cast<int>(k);
      const double truth = static_cast<double>(
          std::exp(ln_choose(c.n1, x) + ln_choose(c.n0, c.h - x) - ln_choose(c.n1 + c.n0, c.h)));
      EXPECT_NEAR(r.prob[k], truth, allowed(truth))
          << c.n1 << " " << c.n0 << " " << c.h << " x " << x;
    }
  }
}

struct tail_args {
  int n1, n0, h, x;
  double e, ln_beta;
};

// Density of the x-th best of n1 minority scores at s, times the chance that
// fewer than h - x + 1 majority scores exceed s.
double beats(double s, void *params) {
  const tail_args &a = *static_cast<const tail_args *>(params);
  const double z = (s - a.e) / std::sqrt(2.0);
  const double ln_density = -0.5 * (s - a.e) * (s - a.e) - 0.5 * std::log(2 * M_PI) +
                            (a.n1 - a.x) * (gsl_sf_log_erfc(-z) - M_LN2) +
                            (a.x - 1) * (gsl_sf_log_erfc(z) - M_LN2) - a.ln_beta;
  return std::exp(ln_density) *
         gsl_sf_beta_inc(a.n0 - a.h + a.x, a.h - a.x + 1, gsl_cdf_ugaussian_P(s));
}

// P(X >= x): the x-th best minority applicant beats the (h - x + 1)-th best
// majority applicant.
double at_least(int n1, int n0, int h, double e, int x) {
  if (x <= std::max(0, h - n0)) return 1.0;
  if (x > std::min(h, n1)) return 0.0;
  tail_args a{n1, n0, h, x, e, gsl_sf_lnbeta(n1 - x + 1, x)};
  gsl_function f{beats, &a};
  gsl_integration_workspace *ws = gsl_integration_workspace_alloc(1000);
  double result = 0.0, error = 0.0;
  const int status = gsl_integration_qag(&f, e - 12.0, e + 12.0, 1e-22, 1e-13, 1000,
                                         GSL_INTEG_GAUSS61, ws, &result, &error);
  gsl_integration_workspace_free(ws);
  EXPECT_EQ(status, 0) << n1 << " " << n0 << " " << h << " " << e << " x " << x;
  return result;
}

// Both tails of every outcome, each an upper tail of one of the two groups.
TEST(DirectPool, TailsMatchOrderStatisticFormulation) {
  gsl_error_handler_t *old = gsl_set_error_handler_off();
  for (const pool_case c : {pool_case{1, 1, 1}, {2, 3, 2}, {3, 5, 4}, {6, 4, 3}, {5, 9, 7}}) {
    for (double e : {-3.0, -1.3, 0.7, 1.7, 3.0, 6.0}) {
      const direct_result r = direct_pool(c.n1, c.n0, c.h, e);
      expect_accurate(r);
      const int m = static_cast<int>(r.prob.size());
      for (int k = 0; k < m; ++k) {
        const int x = r.xlo + k;
        double upper = 0.0, lower = 0.0; // smallest terms first
        for (int j = m - 1; j >= k; --j)
          upper += r.prob[j];
        for (int j = 0; j <= k; ++j)
          lower += r.prob[j];
        const double up = at_least(c.n1, c.n0, c.h, e, x);
        const double low = at_least(c.n0, c.n1, c.h, -e, c.h - x);
        EXPECT_NEAR(upper, up, allowed(up))
            << c.n1 << " " << c.n0 << " " << c.h << " " << e << " x " << x;
        EXPECT_NEAR(lower, low, allowed(low))
            << c.n1 << " " << c.n0 << " " << c.h << " " << e << " x " << x;
      }
    }
  }
  gsl_set_error_handler(old);
}

// One applicant each, one hire: the minority applicant wins with probability
// P(Z1 + e > Z0) = Phi(e / sqrt 2).
TEST(DirectPool, TwoApplicantsExact) {
  for (double e : {-8.0, -3.0, -0.5, 0.0, 0.7, 3.0, 8.0}) {
    const direct_result r = direct_pool(1, 1, 1, e);
    expect_accurate(r);
    ASSERT_EQ(r.prob.size(), 2u);
    const double win = 0.5 * std::erfc(-e / 2), lose = 0.5 * std::erfc(e / 2);
    EXPECT_NEAR(r.prob[1], win, allowed(win)) << e;
    EXPECT_NEAR(r.prob[0], lose, allowed(lose)) << e;
  }
}

struct pool_e {
  int n1, n0, h;
  double e;
};
constexpr pool_e mixed_pools[] = {{5, 15, 6, 1.2},         {60, 140, 50, -0.5}, {200, 30, 40, 2.5},
                                  {7, 3, 9, -6.0},         {50, 50, 50, 8.0},   {20, 180, 50, -8.0},
                                  {3000, 7000, 1000, -0.5}};

TEST(DirectPool, SwappingGroupsMirrorsOutcomes) {
  for (const pool_e c : mixed_pools) {
    const direct_result r = direct_pool(c.n1, c.n0, c.h, c.e);
    const direct_result s = direct_pool(c.n0, c.n1, c.h, -c.e);
    ASSERT_EQ(r.prob.size(), s.prob.size());
    for (std::size_t k = 0; k < r.prob.size(); ++k) {
      const int x = r.xlo + static_cast<int>(k);
      const double mirrored = s.prob[static_cast<std::size_t>(c.h - x - s.xlo)];
      EXPECT_NEAR(r.prob[k], mirrored, allowed(mirrored)) << c.n1 << " " << c.n0 << " x " << x;
    }
  }
}

TEST(DirectPool, SumsToOne) {
  for (const pool_e c : mixed_pools) {
    const direct_result r = direct_pool(c.n1, c.n0, c.h, c.e);
    expect_accurate(r);
    double sum = 0.0;
    for (double p : r.prob)
      sum += p;
    EXPECT_NEAR(sum, 1.0, 1e-13) << c.n1 << " " << c.n0 << " " << c.h << " " << c.e;
    EXPECT_GT(r.evaluations, 0);
  }
}

// Groups far apart: the better group's applicants are hired first, with
// certainty to every digit, however far apart (the old score range grew with
// |esize|: 1e6 took minutes and 1e300 overflowed its node count).
TEST(DirectPool, FarApartGroupsHireTheBetterGroupFirst) {
  constexpr pool_case pools[] = {{3, 7, 2}, {7, 3, 5}, {40, 60, 50}, {300, 700, 100}};
  for (const pool_case c : pools)
    for (double e : {50.0, 1e3, 1e6, 1e300, -50.0, -1e6, -1e300}) {
      const direct_result r = direct_pool(c.n1, c.n0, c.h, e);
      expect_accurate(r);
      const int x = e > 0 ? std::min(c.h, c.n1) : std::max(0, c.h - c.n0);
      EXPECT_NEAR(r.prob[static_cast<std::size_t>(x - r.xlo)], 1.0, 1e-13)
          << c.n1 << " " << c.n0 << " " << c.h << " " << e;
    }
}

TEST(DirectPool, TrivialAndRefused) {
  const direct_result none = direct_pool(4, 6, 0, 1.0);
  EXPECT_EQ(none.xlo, 0);
  EXPECT_EQ(none.prob, std::vector<double>{1.0});
  const direct_result all = direct_pool(4, 6, 10, 1.0);
  EXPECT_EQ(all.xlo, 4);
  EXPECT_EQ(all.prob, std::vector<double>{1.0});
  EXPECT_TRUE(all.accurate);
  EXPECT_THROW(direct_pool(0, 6, 3, 0.0), std::invalid_argument);
  EXPECT_THROW(direct_pool(4, 0, 3, 0.0), std::invalid_argument);
  EXPECT_THROW(direct_pool(4, 6, 11, 0.0), std::invalid_argument);
  EXPECT_THROW(direct_pool(4, 6, -1, 0.0), std::invalid_argument);
}

} // namespace
