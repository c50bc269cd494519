// Normal functions and order-statistic integrands: exact properties, closed
// forms and the corners where a log of 0 meets a count of 0.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <gsl/gsl_errno.h>

#include "engine/pool.h"
#include "model/integrands.h"
#include "model/lnbeta.h"
#include "model/normal.h"

namespace {

const double rs2pi = make_rs2pi();

TEST(Phid, ExactValues) {
  EXPECT_EQ(phid(0.0), 0.5);
  EXPECT_EQ(phid(-0.0), 0.5);
  for (double x : {37.0001, 40.0, 1e300, std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(phid(x), 1.0) << x;
    EXPECT_EQ(phid(-x), 0.0) << x;
  }
  EXPECT_GT(phid(-37.0), 0.0); // 37 itself is not cut off
  EXPECT_EQ(phid(8.5), 1.0);   // 1 - u rounds to 1
}

// Hart's approximation is accurate to about 1e-15 absolute everywhere.
TEST(Phid, AccurateAndSymmetric) {
  for (double x = -12.0; x <= 12.0; x += 0.0625) {
    EXPECT_NEAR(phid(x), 0.5 * std::erfc(-x / std::sqrt(2.0)), 1e-15) << x;
    EXPECT_NEAR(phid(x) + phid(-x), 1.0, 2.3e-16) << x;
  }
  // Just below and at the switch to the continued fraction: close, not identical.
  const double a = 7.071067811865475;
  EXPECT_NE(phid(-a), phid(-std::nextafter(a, 0.0)));
  EXPECT_NEAR(phid(-a), phid(-std::nextafter(a, 0.0)), 1e-20);
}

// The pair the integrands use is the two functions, bit for bit.
TEST(StdNormal, SameBitsAsPhibAndPhid) {
  std::uint64_t state = 42;
  const auto next = [&] { return state = state * 6364136223846793005u + 1442695040888963407u; };
  for (int i = 0; i < 200000; ++i) {
    const double z = static_cast<double>(static_cast<std::int64_t>(next()) >> 11) *
                     (i % 2 ? 0x1p-49 : 0x1p-46); // |z| up to 8 or 64
    const normal_at n = std_normal(z, rs2pi);
    ASSERT_EQ(n.density, phib(z, 0.0, 1.0, rs2pi)) << z;
    ASSERT_EQ(n.cdf, phid(z)) << z;
  }
  for (double z : {0.0, -0.0, 37.0, -37.0, 37.5, -40.0, 7.071067811865475, -7.071067811865475}) {
    EXPECT_EQ(std_normal(z, rs2pi).density, phib(z, 0.0, 1.0, rs2pi)) << z;
    EXPECT_EQ(std_normal(z, rs2pi).cdf, phid(z)) << z;
  }
}

TEST(Phib, DensityProperties) {
  EXPECT_EQ(phib(1.25, 1.25, 1.0, rs2pi), rs2pi);
  EXPECT_NEAR(phib(2.0, 0.5, 4.0, rs2pi), phib(0.75, 0.0, 1.0, rs2pi) / 2.0, 1e-17);
  EXPECT_EQ(phib(50.0, 0.0, 1.0, rs2pi), 0.0);
}

// One pool's parameters set up as the outcome loop sets them.
struct fixture {
  explicit fixture(double esize, int nmin, int nmaj, int smin, int rmaj) : w(esize) {
    parblk &pb = w.ctx.pb;
    pb.nmin = nmin;
    pb.nmaj = nmaj;
    pb.smin = smin;
    pb.rmaj = rmaj;
    pb.blmin = dlbeta(nmin - smin + 1, smin);
    pb.blmaj = dlbeta(nmaj - rmaj + 1, rmaj);
  }
  double fun_at(double x) { return fun(x, &w.ctx); }
  pool_work w;
};

TEST(Fun, ZeroAtAndBelowLowerLimit) {
  fixture f(0.0, 2, 3, 1, 2);
  f.w.ctx.pb.blmaj = 123.0;
  for (double x : {-6.5, -7.0, -1e300})
    EXPECT_EQ(f.fun_at(x), 0.0);
  EXPECT_EQ(f.w.ctx.pb.blmaj, 123.0);
  EXPECT_TRUE(f.w.ctx.inner_errors.empty());
}

TEST(Fun, SingleApplicantsClosedForm) {
  fixture f(0.0, 1, 1, 1, 1);
  EXPECT_NEAR(f.fun_at(0.0), 0.19947114, 1e-8);
  // With one minority applicant fun is the density at x - esize times Phi(x) - Phi(-6.5).
  fixture g(0.7, 1, 1, 1, 1);
  const double x = 1.3;
  EXPECT_NEAR(g.fun_at(x), phib(x, 0.7, 1.0, rs2pi) * (phid(x) - phid(-6.5)), 1e-9);
}

// A count of zero times the log of a probability that is exactly 0 or 1 stands
// for a factor to the power 0: fun stays finite where the log form gives 0 * -inf.
TEST(Fun, ZeroCountTimesLogZero) {
  // smin = nmin: 1 - P is exactly 0 once x - esize > ~8.3.
  fixture low(-3.0, 2, 3, 2, 2);
  const double v = low.fun_at(6.0);
  EXPECT_TRUE(std::isfinite(v));
  EXPECT_GT(v, 0.0);
  // smin = 1: P is exactly 0 once x - esize < -37.
  fixture high(31.0, 2, 3, 1, 2);
  const double u = high.fun_at(-6.2);
  EXPECT_TRUE(std::isfinite(u));
  EXPECT_GE(u, 0.0);
  fixture high_near(30.5, 1, 3, 1, 2);
  EXPECT_FALSE(std::isnan(high_near.fun_at(-6.49)));
}

TEST(Fu1, InnerIntegralOfStandardNormal) {
  pool_work w(0.0);
  w.ctx.pb.nmaj = 1;
  w.ctx.pb.rmaj = 1;
  w.ctx.pb.blmaj = 0.0;
  EXPECT_NEAR(fu1(0.3, &w.ctx.pb), phib(0.3, 0.0, 1.0, rs2pi), 1e-16);
  const gsl_function f{&fu1, &w.ctx.pb};
  double in = 0.0;
  EXPECT_EQ(integrate(f, -6.5, 1.0, 1e-5, 1e-4, w.inner.get(), in), 0);
  EXPECT_NEAR(in, phid(1.0) - phid(-6.5), 1e-6);
}

TEST(Integrate, ErrorNumbers) {
  EXPECT_EQ(integ_error_code(GSL_SUCCESS), 0);
  EXPECT_EQ(integ_error_code(GSL_EMAXITER), 1);
  EXPECT_EQ(integ_error_code(GSL_EROUND), 2);
  EXPECT_EQ(integ_error_code(GSL_ESING), 3);
  EXPECT_EQ(integ_error_code(GSL_EINVAL), 6);
}

} // namespace
