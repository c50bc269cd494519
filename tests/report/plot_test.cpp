// The distribution chart: well-formed SVG for every shape of table, the chosen
// AI axis, the merging of large tables, and a real renderer's verdict.
#include "report/plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "xml_check.h"

namespace {

plot_input chart_of(std::vector<double> ai, std::vector<double> prob, double p_undefined) {
  return {100, 20, -1.0, 0.2, std::move(ai), std::move(prob), p_undefined};
}

// Like a large problem's table: a 0, then n values log-uniform over [lo, hi]
// with a bump of probability 0.6 around 3.
plot_input large_table(int n, double lo, double hi) {
  plot_input in = chart_of({0.0}, {1e-30}, 0.4);
  double total = 0;
  for (int i = 0; i < n; ++i) {
    double v = lo * std::pow(hi / lo, i / (n - 1.0));
    in.ai.push_back(v);
    in.prob.push_back(std::exp(-4 * std::pow(std::log(v / 3), 2)));
    total += in.prob.back();
  }
  for (double &p : in.prob)
    p *= 0.6 / total;
  return in;
}

std::vector<plot_input> shapes() {
  return {
      chart_of({0, 1.0 / 3, 1, 3}, {0.1875, 0.125, 0.25, 0.125}, 0.3125), // 4 applicants, 2 hires
      large_table(50000, 0.005, 80),
      chart_of({}, {}, 1.0),                           // only undefined
      chart_of({1.0}, {0.7}, 0.3),                     // a single value
      chart_of({0.5, 1, 2}, {0, 1, 0}, 0),             // all probability on one value
      chart_of({0, 0.01, 5}, {0, 0, 0}, 0),            // no probability anywhere
      chart_of({0.5, 1, 2}, {-1e-5, 0.6, -2e-6}, 0.4), // round-off below zero
      chart_of({1e-300, 1e300}, {0.5, 0.5}, 1e-320),   // extreme magnitudes
  };
}

std::string path_d(const std::string &svg, const std::string &id) {
  std::size_t at = svg.find("id=\"" + id + "\" d=\"");
  if (at == std::string::npos) return "";
  at += id.size() + 9;
  return svg.substr(at, svg.find('"', at) - at);
}

std::size_t count(const std::string &s, const std::string &what) {
  std::size_t n = 0;
  for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
    ++n;
  return n;
}

bool has(const std::string &s, const std::string &what) {
  return s.find(what) != s.npos;
}

} // namespace

TEST(Plot, CheckerCatchesBrokenMarkup) {
  EXPECT_EQ(xml_fault("<?xml?><svg><g a=\"1\"/><t>&lt;</t></svg>"), "");
  for (const char *bad : {"<svg><g></svg>", "<svg><t>a < b</t></svg>", "<svg><t>R&D</t></svg>",
                          "<svg x=1/>", "<svg/><svg/>"})
    EXPECT_NE(xml_fault(bad), "") << bad;
}

TEST(Plot, EveryShapeIsWellFormedAndReadable) {
  for (const plot_input &in : shapes()) {
    std::string svg = distribution_svg(in);
    SCOPED_TRACE(in.ai.size());
    EXPECT_EQ(xml_fault(svg), "");
    EXPECT_FALSE(has(svg, "nan") || has(svg, "inf"));
    EXPECT_LT(count(svg, "<text"), 50u); // tick labels thinned out, whatever the range
    EXPECT_TRUE(has(svg, ">0.8</text>") && has(svg, ">1.25</text>"));
    EXPECT_EQ(count(svg, "stroke-dasharray"), 3u); // two threshold lines and the legend's
    EXPECT_NE(path_d(svg, "cdf"), "");
  }
}

TEST(Plot, StatesProblemUndefinedAndDefinedProbability) {
  std::string svg = distribution_svg(shapes()[0]);
  EXPECT_TRUE(
      has(svg, "N = 100 applicants, n = 20 hires, effect size -1, minority proportion 0.2"));
  EXPECT_TRUE(has(svg, "P(AI undefined) = 0.312500"));
  EXPECT_TRUE(has(svg, "P(AI defined) = 0.687500"));
  EXPECT_TRUE(has(svg, "AI &gt; 1.25") && has(svg, "AI &lt; 0.8"));
  EXPECT_TRUE(has(distribution_svg(chart_of({1}, {1}, 2.5e-9)), "P(AI undefined) = 2.50e-09"));
  EXPECT_TRUE(has(distribution_svg(shapes()[2]), "takes no defined value"));
  std::string none = distribution_svg(shapes()[5]);
  EXPECT_TRUE(has(none, "No probability falls on a defined AI value"));
  EXPECT_EQ(path_d(none, "spikes"), "");
  EXPECT_FALSE(has(svg, "No probability"));
}

TEST(Plot, LogAxisOnlyBeyondTwoDecades) {
  auto is_log = [](std::vector<double> ai) {
    std::vector<double> p(ai.size(), 1.0 / ai.size());
    return has(distribution_svg(chart_of(ai, p, 0)), "(log scale)");
  };
  EXPECT_TRUE(is_log({0.01, 1.0001}));
  EXPECT_TRUE(is_log({0, 0.005, 2}));
  EXPECT_FALSE(is_log({0.1, 10}));   // exactly two decades
  EXPECT_FALSE(is_log({0, 0.5, 3})); // 0 does not count towards the span
  EXPECT_FALSE(is_log({}));
}

TEST(Plot, ZeroGetsItsOwnPositionOnALogAxis) {
  std::string with_zero = distribution_svg(chart_of({0, 0.005, 2}, {0.2, 0.3, 0.5}, 0));
  std::string without = distribution_svg(chart_of({0.005, 2}, {0.5, 0.5}, 0));
  EXPECT_TRUE(has(with_zero, ">0</text>") && has(with_zero, "axis break"));
  EXPECT_FALSE(has(without, ">0</text>") || has(without, "axis break"));
  EXPECT_TRUE(has(with_zero, ">0.001</text>") && has(with_zero, ">10</text>"));
  EXPECT_EQ(count(path_d(with_zero, "spikes"), "M"), 3u); // the 0 is drawn, not dropped
}

TEST(Plot, LargeTablesMergeIntoPixelColumns) {
  for (const plot_input &in : {large_table(50000, 0.005, 80), large_table(50000, 0.5, 40)}) {
    std::string svg = distribution_svg(in);
    EXPECT_LT(svg.size(), 40000u);
    // At most one spike and one step per pixel column of the 740-pixel plot.
    EXPECT_LE(count(path_d(svg, "spikes"), "M"), 740u);
    EXPECT_LE(count(path_d(svg, "cdf"), "V"), 740u);
    EXPECT_GT(count(path_d(svg, "spikes"), "M"), 50u);
  }
  // A merged column draws max(0.3, 0.1), not the sum (the 0.5 fixes the scale);
  // the cumulative line still counts both.
  std::string merged = distribution_svg(chart_of({0.5, 1, 1 + 1e-9}, {0.5, 0.3, 0.1}, 0.1));
  std::string single = distribution_svg(chart_of({0.5, 1}, {0.5, 0.3}, 0.2));
  EXPECT_EQ(path_d(merged, "spikes"), path_d(single, "spikes"));
  EXPECT_TRUE(has(merged, "P(AI defined) = 0.900000"));
}

TEST(Plot, NegativeRoundOffIsDrawnAsZero) {
  std::string svg = distribution_svg(shapes()[6]);
  EXPECT_EQ(count(path_d(svg, "spikes"), "M"), 1u);
  EXPECT_TRUE(has(svg, "P(AI defined) = 0.600000"));
  EXPECT_THROW(distribution_svg(chart_of({1, 2}, {0.5}, 0.5)), std::invalid_argument);
}

TEST(Plot, RendersToPngWithRsvgConvert) {
  if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "rsvg-convert not on PATH (Debian package librsvg2-bin)";
  auto dir =
      std::filesystem::temp_directory_path() / ("torvan_plot_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  int n = 0;
  for (const plot_input &in : shapes()) {
    auto svg = dir / ("chart" + std::to_string(n) + ".svg");
    auto png = dir / ("chart" + std::to_string(n++) + ".png");
    std::ofstream(svg) << distribution_svg(in);
    std::string cmd = "rsvg-convert -o '" + png.string() + "' '" + svg.string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << svg;
    std::ifstream f(png, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 1000u) << png;
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n") << png;
  }
  std::filesystem::remove_all(dir);
}
