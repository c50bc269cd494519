// Vector-valued adaptive quadrature against closed forms: components of very
// different sizes and shapes integrated on shared abscissae, exactness on
// polynomials, and the explicit way out when the panel limit is reached.
#include "model/vquad.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

// x^k for k = 0..19, a narrow Gaussian bump, and a component far below epsabs.
vquad_written mixed(double x, std::span<double> out) {
  for (int k = 0; k < 20; ++k)
    out[k] = std::pow(x, k);
  out[20] = std::exp(-200.0 * (x - 0.3) * (x - 0.3));
  out[21] = 1e-30 * std::cos(x);
  return {0, 22};
}

TEST(Vquad, MixedComponentsMeetTheirTolerances) {
  const vquad_options opt;
  const vquad_result r = vquad(mixed, 22, 0.0, 1.0, opt);
  ASSERT_TRUE(r.converged);
  EXPECT_LE(r.worst, 1.0);
  for (int k = 0; k < 20; ++k)
    EXPECT_NEAR(r.value[k], 1.0 / (k + 1), 2e-13 / (k + 1)) << k;
  const double s = std::sqrt(200.0);
  const double bump =
      std::sqrt(std::numbers::pi) / (2 * s) * (std::erf(0.7 * s) + std::erf(0.3 * s));
  EXPECT_NEAR(r.value[20], bump, 1e-13 * bump);
  EXPECT_NEAR(r.value[21], 1e-30 * std::sin(1.0), 1e-17);
}

// Degree up to 2 order - 1 is integrated exactly by every rule: the first
// panels are accepted at once, 3 rules of `order` points each.
TEST(Vquad, PolynomialsNeedNoSplit) {
  for (const auto &[order, panels] : {std::pair{12, 4}, {5, 1}, {20, 2}}) {
    const vquad_options opt{.order = order, .first_panels = panels};
    const auto cubic = [](double x, std::span<double> out) {
      out[0] = x * x * x - 2 * x;
      return vquad_written{0, 1};
    };
    const vquad_result r = vquad(cubic, 1, -1.0, 3.0, opt);
    EXPECT_TRUE(r.converged);
    EXPECT_EQ(r.evaluations, 3 * order * panels);
    EXPECT_NEAR(r.value[0], 12.0, 1e-13);
  }
}

TEST(Vquad, PanelLimitReportsShortfall) {
  const vquad_options opt{.first_panels = 1, .panel_limit = 3};
  const auto wave = [](double x, std::span<double> out) {
    out[0] = std::cos(300.0 * x);
    out[1] = 1.0;
    return vquad_written{0, 2};
  };
  const vquad_result r = vquad(wave, 2, 0.0, 1.0, opt);
  EXPECT_FALSE(r.converged);
  EXPECT_GT(r.worst, 1.0);
  ASSERT_EQ(r.value.size(), 2u);
  EXPECT_NEAR(r.value[1], 1.0, 1e-15); // the easy component is still there
}

TEST(Vquad, NotANumberIsNotConverged) {
  const auto nan = [](double, std::span<double> out) {
    out[0] = std::numeric_limits<double>::quiet_NaN();
    return vquad_written{0, 1};
  };
  const vquad_result r = vquad(nan, 1, 0.0, 1.0);
  EXPECT_FALSE(r.converged);
  EXPECT_GT(r.worst, 1.0);
}

// Components written only where they are non-zero: each a box on part of
// the interval, its integral the box's width.
TEST(Vquad, OnlyWrittenComponentsCount) {
  const auto boxes = [](double x, std::span<double> out) {
    const int k = static_cast<int>(x * 8); // component k is 1 on [k/8, (k+1)/8)
    out[static_cast<std::size_t>(k)] = 1.0;
    return vquad_written{k, k + 1};
  };
  const vquad_result r = vquad(boxes, 8, 0.0, 1.0, {.first_panels = 8});
  ASSERT_TRUE(r.converged);
  for (double v : r.value)
    EXPECT_NEAR(v, 0.125, 1e-15);
}

} // namespace
