// The trapezoidal rule with step halving against closed forms: bell-shaped
// components of very different widths and sizes on shared nodes, the count
// of nodes its exponential convergence needs, and the explicit ways out.
#include "model/trapezoid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

// exp(-(x - c)^2 / (2 s^2)) over the whole line is s sqrt(2 pi); the
// interval below holds all but 1e-40 of each.
struct bump {
  double c, s, scale;
};
constexpr bump bumps[] = {{0.0, 1.0, 1.0}, {2.0, 0.3, 1.0}, {-1.0, 2.0, 1e-5}, {0.5, 0.5, 1e-30}};

written_range bells(double x, std::span<double> out) {
  for (std::size_t k = 0; k < std::size(bumps); ++k) {
    const bump &b = bumps[k];
    out[k] = b.scale * std::exp(-(x - b.c) * (x - b.c) / (2 * b.s * b.s));
  }
  return {0, static_cast<int>(std::size(bumps))};
}

TEST(Trapezoid, BellsMeetTheirTolerances) {
  const trapezoid_result r = trapezoid(bells, 4, -30.0, 30.0, {.intervals = 64});
  ASSERT_TRUE(r.converged);
  EXPECT_LE(r.worst, 1.0);
  ASSERT_EQ(r.first, 0);
  ASSERT_EQ(r.value.size(), 4u);
  for (std::size_t k = 0; k < 3; ++k) {
    const double truth = bumps[k].scale * bumps[k].s * std::sqrt(2 * std::numbers::pi);
    EXPECT_NEAR(r.value[k], truth, 1e-13 * truth) << k;
  }
  EXPECT_NEAR(r.value[3], 1e-30 * 0.5 * std::sqrt(2 * std::numbers::pi), 1e-17);
}

// A unit Gaussian on [-12, 12] from steps of 1.5: the error of a step s is
// about 2 exp(-2 pi^2 / s^2), 3e-4 at 1.5 and 1e-15 at 0.75. The rule of step
// 0.375 is accepted after two halvings: 64 intervals, 65 nodes.
TEST(Trapezoid, ExponentialConvergenceNeedsFewNodes) {
  const auto gauss = [](double x, std::span<double> out) {
    out[0] = std::exp(-0.5 * x * x);
    return written_range{0, 1};
  };
  const trapezoid_result r = trapezoid(gauss, 1, -12.0, 12.0, {.intervals = 16});
  ASSERT_TRUE(r.converged);
  EXPECT_EQ(r.evaluations, 65);
  EXPECT_NEAR(r.value[0], std::sqrt(2 * std::numbers::pi), 1e-15);
}

TEST(Trapezoid, HalvingLimitReportsShortfall) {
  const auto kink = [](double x, std::span<double> out) {
    out[0] = std::fabs(x - 0.3); // not smooth: the error halves with the step, no faster
    out[1] = 1.0;
    return written_range{0, 2};
  };
  const trapezoid_result r = trapezoid(kink, 2, 0.0, 1.0, {.intervals = 1, .halvings = 4});
  EXPECT_FALSE(r.converged);
  EXPECT_GT(r.worst, 1.0);
  EXPECT_EQ(r.evaluations, 17);
  ASSERT_EQ(r.value.size(), 2u);
  EXPECT_NEAR(r.value[1], 1.0, 1e-15); // the easy component is still there
}

TEST(Trapezoid, NotANumberIsNotConverged) {
  const auto nan = [](double, std::span<double> out) {
    out[0] = std::numeric_limits<double>::quiet_NaN();
    return written_range{0, 1};
  };
  const trapezoid_result r = trapezoid(nan, 1, 0.0, 1.0);
  EXPECT_FALSE(r.converged);
  EXPECT_GT(r.worst, 1.0);
}

// Component k is a narrow bell about k, written only where it is above
// 1e-300: the result holds the components written at some node, from the
// first of them, whatever order they first appear in.
TEST(Trapezoid, OnlyWrittenComponentsCount) {
  const auto row = [](double x, std::span<double> out) {
    const int first = std::max(2, static_cast<int>(std::ceil(x - 3.0)));
    const int last = std::min(7, static_cast<int>(std::floor(x + 3.0)) + 1);
    for (int k = first; k < last; ++k)
      out[static_cast<std::size_t>(k)] = std::exp(-8.0 * (x - k) * (x - k));
    return written_range{std::min(first, last), last};
  };
  const trapezoid_result r = trapezoid(row, 10, -2.0, 12.0, {.intervals = 64});
  ASSERT_TRUE(r.converged);
  EXPECT_EQ(r.first, 2);
  ASSERT_EQ(r.value.size(), 5u);
  for (double v : r.value) // each bell cut off 3 from its centre: exp(-72) below 1e-31
    EXPECT_NEAR(v, std::sqrt(std::numbers::pi / 8.0), 1e-13);
}

} // namespace
