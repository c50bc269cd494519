// The pages write every value whole, however long: an esize of 1e300 in
// fixed notation has 300 digits, and the lines after it keep their place.
#include "report/page.h"

#include <gtest/gtest.h>

#include <charconv>
#include <sstream>
#include <string>

#include "report/plan.h"
#include "report/summary.h"

namespace {

std::string to_chars_fixed(double v, int decimals) {
  char buf[512];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, r.ptr);
}

std::string line_of(const std::string &text, int n) {
  std::istringstream in(text);
  std::string line;
  for (int i = 0; i <= n; ++i)
    std::getline(in, line);
  return line;
}

TEST(Page, LongValuesAreWrittenWhole) {
  for (double e : {-0.5, 1e30, 1e300, -1.7976931348623157e308}) {
    const std::string digits = to_chars_fixed(e, 6);
    EXPECT_EQ(printed("%.6f", e), digits);
    EXPECT_EQ(dotted_line("esize", digits),
              "  esize " + std::string(48, '.') +
                  (digits.size() < 24 ? std::string(24 - digits.size(), ' ') : "") + digits + "\n");

    const std::string summary = summary_page({10, 2, e, 0.3}, {}, figures{});
    EXPECT_EQ(line_of(summary, 2), "Problem: 10 applicants, 2 hired, effect size " + digits);
    EXPECT_EQ(line_of(summary, 3).rfind("Pool:", 0), 0u) << line_of(summary, 3);

    plan_options opt;
    opt.esize = e;
    opt.prop = 0.3;
    opt.nhire = 2;
    opt.ntot = ntot_range{10, 12, 1};
    EXPECT_EQ(line_of(plan_page(opt, plan_result{}), 2),
              "Effect size " + digits + "; binomial pools, minority proportion 0.300000");
  }
}

} // namespace
