// The pages keep within 80 columns however large a value: an esize of 1e300
// in fixed notation would have 300 digits.
#include "report/page.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "report/plan.h"
#include "report/summary.h"

namespace {

std::string line_of(const std::string &text, int n) {
  std::istringstream in(text);
  std::string line;
  for (int i = 0; i <= n; ++i)
    std::getline(in, line);
  return line;
}

// A value too large (or too small) for its decimals in a few columns is
// written in scientific notation with as many: the lines keep within 80.
TEST(Page, LongValuesAreShownInScientificNotation) {
  const struct {
    double e;
    const char *shown;
  } cases[] = {{-0.5, "-0.500000"},
               {0.0, "0.000000"},
               {123456789.25, "123456789.250000"},
               {1e9, "1.000000e+09"},
               {1e30, "1.000000e+30"},
               {1e300, "1.000000e+300"},
               {-1.7976931348623157e308, "-1.797693e+308"},
               {4e-7, "4.000000e-07"},
               {6e-7, "0.000001"}};
  for (const auto &[e, digits] : cases) {
    EXPECT_EQ(shown(e, 6), digits);
    const std::string summary = summary_page({10, 2, e, 0.3}, {}, figures{});
    EXPECT_EQ(line_of(summary, 2),
              "Problem: 10 applicants, 2 hired, effect size " + std::string(digits));
    EXPECT_EQ(line_of(summary, 3).rfind("Pool:", 0), 0u) << line_of(summary, 3);

    plan_options opt;
    opt.esize = e;
    opt.prop = 0.3;
    opt.nhire = 2;
    opt.ntot = ntot_range{10, 12, 1};
    EXPECT_EQ(line_of(plan_page(opt, plan_result{}), 2),
              "Effect size " + std::string(digits) +
                  "; binomial pools, minority proportion 0.300000");
  }
  // printf's own text is kept whole, however long.
  EXPECT_EQ(printed("%.6f", 1e300).size(), 308u);
}

} // namespace
