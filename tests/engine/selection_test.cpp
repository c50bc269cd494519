// The audit of counts over every small table: each figure a finite number or
// a reason, the documents free of NaN and within their page, the rules'
// verdicts and the hires to pass against the rules of a distribution, and
// the Mantel-Haenszel figures of one table against their closed forms.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/events.h"
#include "engine/rules.h"
#include "torvan.h"

namespace {

template <class T> void expect_sound(const maybe<T> &m, const std::string &what) {
  if (m.value)
    EXPECT_TRUE(std::isfinite(static_cast<double>(*m.value))) << what;
  else
    EXPECT_FALSE(m.why.empty()) << what;
}

std::string name(const selection_counts &c) {
  return std::to_string(c.minority_applicants) + " " + std::to_string(c.minority_hires) + " " +
         std::to_string(c.majority_applicants) + " " + std::to_string(c.majority_hires);
}

bool four_fifths_flags(int n1, int x, int n0, int y) {
  const int h = x + y;
  return pool_flags(n1, n0, h, 0.05)[static_cast<std::size_t>(x - std::max(0, h - n0))].four_fifths;
}

// Every null of a document has its reason beside it.
void expect_reasons(const nlohmann::json &doc, const std::string &what) {
  for (const auto &[key, v] : doc.items()) {
    if (v.is_object()) expect_reasons(v, what + " " + key);
    if (v.is_null()) {
      EXPECT_TRUE(doc.contains(key + "_reason") && doc[key + "_reason"].is_string())
          << what << " " << key;
    }
  }
}

void expect_within_page(const std::string &page, const std::string &what) {
  std::istringstream in(page);
  for (std::string line; std::getline(in, line);)
    EXPECT_LE(line.size(), 80u) << what << ": " << line;
}

TEST(SelectionAudit, EverySmallTableIsSound) {
  for (int n1 = 0; n1 <= 4; ++n1)
    for (int n0 = 0; n0 <= 4; ++n0)
      for (int x = 0; x <= n1; ++x)
        for (int y = 0; y <= n0; ++y) {
          const selection_counts c{n1, x, n0, y};
          if (audit_refusal(c)) {
            EXPECT_EQ(n1 + n0, 0);
            continue;
          }
          const selection_audit a = audit_selection(c);
          const std::string w = name(c);
          for (const maybe<double> *m :
               {&a.minority_rate, &a.majority_rate, &a.impact_ratio, &a.ai, &a.z, &a.z_p_lower,
                &a.z_p_two_sided, &a.z_ir, &a.z_ir_p_lower, &a.impact_ratio_lower,
                &a.impact_ratio_upper, &a.esize.mle, &a.esize.lower, &a.esize.upper,
                &a.esize.probit})
            expect_sound(*m, w);
          expect_sound(a.hires_to_pass, w);
          for (const double p : {a.fisher_p_lower, a.fisher_p_two_sided, a.fisher_p_mid}) {
            EXPECT_GT(p, 0.0) << w;
            EXPECT_LE(p, 1.0) << w;
          }
          expect_reasons(nlohmann::json::parse(audit_json_text(a, -1)), w);
          expect_within_page(audit_page_text(a), w);
          // The rules' verdicts are those of the distribution's rules.
          const int h = x + y;
          const rule_flags f =
              pool_flags(n1, n0, h, 0.05)[static_cast<std::size_t>(x - std::max(0, h - n0))];
          EXPECT_EQ(a.four_fifths, f.four_fifths) << w;
          EXPECT_EQ(a.z_flags, f.z_test) << w;
          EXPECT_EQ(a.fisher_flags, f.fisher_exact) << w;
          EXPECT_EQ(a.z_ir_flags, f.z_ir) << w;
        }
}

// The fewest further minority hires after which the four-fifths rule of the
// distributions (on the pool with those hires added) no longer flags.
TEST(SelectionAudit, HiresToPassIsTheFewest) {
  const selection_counts tables[] = {{50, 5, 150, 30},  {10, 0, 10, 5}, {10, 0, 10, 10},
                                     {3, 0, 1000, 999}, {7, 2, 3, 3},   {100, 40, 100, 60},
                                     {1, 0, 5, 3},      {20, 4, 20, 4}, {10, 3, 10, 0}};
  for (const selection_counts &c : tables) {
    const selection_audit a = audit_selection(c);
    ASSERT_TRUE(a.hires_to_pass.value) << name(c);
    const int k = *a.hires_to_pass.value;
    const int n1 = c.minority_applicants, x = c.minority_hires;
    const int n0 = c.majority_applicants, y = c.majority_hires;
    ASSERT_LE(x + k, n1) << name(c);
    EXPECT_FALSE(four_fifths_flags(n1, x + k, n0, y)) << name(c);
    for (int j = 0; j < k; ++j)
      EXPECT_TRUE(four_fifths_flags(n1, x + j, n0, y)) << name(c) << " " << j;
    EXPECT_EQ(a.four_fifths, k > 0) << name(c);
  }
  EXPECT_FALSE(audit_selection({0, 0, 10, 3}).hires_to_pass.value);
}

// With one table the Mantel-Haenszel odds ratio is the sample odds ratio and
// the statistic (n - 1) / n times Pearson's chi-square.
TEST(MantelHaenszel, OneTableInClosedForm) {
  const selection_counts tables[] = {{50, 5, 150, 30}, {12, 7, 9, 2}, {200, 20, 800, 160}};
  for (const selection_counts &c : tables) {
    const double a = c.minority_hires, b = c.minority_applicants - a, cc = c.majority_hires,
                 d = c.majority_applicants - cc, n = a + b + cc + d;
    const mantel_haenszel m = mantel_haenszel_of({c}, 0.05);
    EXPECT_NEAR(*m.odds_ratio.value, a * d / (b * cc), 1e-14 * a * d / (b * cc));
    const double pearson =
        n * (a * d - b * cc) * (a * d - b * cc) / ((a + b) * (cc + d) * (a + cc) * (b + d));
    EXPECT_NEAR(*m.statistic.value, (n - 1) / n * pearson, 1e-12 * pearson);
    const double lower = *m.p_lower.value;
    EXPECT_NEAR(*m.z.value < 0 ? lower : 1 - lower, *m.p_two_sided.value / 2, 1e-12);
  }
}

TEST(SelectionAudit, RefusesCountsThatMakeNoSense) {
  const struct {
    selection_counts c;
    double alpha;
    const char *message;
  } cases[] = {
      {{-1, 0, 5, 3}, 0.05, "minority_applicants = -1 is negative"},
      {{5, -2, 5, 3}, 0.05, "minority_hires = -2 is negative"},
      {{5, 0, -5, 3}, 0.05, "majority_applicants = -5 is negative"},
      {{5, 0, 5, -3}, 0.05, "majority_hires = -3 is negative"},
      {{5, 6, 5, 3}, 0.05, "minority_hires = 6 is more than minority_applicants = 5"},
      {{5, 2, 5, 6}, 0.05, "majority_hires = 6 is more than majority_applicants = 5"},
      {{0, 0, 0, 0}, 0.05, "there must be at least one applicant"},
      {{60000, 1, 50000, 2},
       0.05,
       "minority_applicants + majority_applicants = 110000 is more than the 100000 applicants "
       "an audit takes"},
      {{5, 2, 5, 3}, 0.0, "alpha = 0 must lie strictly between 0 and 1"},
      {{5, 2, 5, 3}, 1.5, "alpha = 1.5 must lie strictly between 0 and 1"},
  };
  for (const auto &t : cases) {
    const auto why = audit_refusal(t.c, t.alpha);
    ASSERT_TRUE(why) << t.message;
    EXPECT_EQ(*why, t.message);
  }
  EXPECT_FALSE(audit_refusal({1, 0, 0, 0}));
  EXPECT_EQ(*events_refusal({}), "there are no events to audit");
  EXPECT_EQ(*events_refusal({{"a", {5, 2, 5, 3}}, {"2019", {5, 7, 5, 3}}}),
            "event 2 (2019): minority_hires = 7 is more than minority_applicants = 5");
}

} // namespace
