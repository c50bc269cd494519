// Audits of several groups against implementations nobody here wrote - R's
// fisher.test (r x c and pairwise), chisq.test and p.adjust, SciPy's
// chi2_contingency, stored by tests/data/groups/make_reference.py - against
// a brute-force enumeration of every table, and, with two groups, against the
// two-group audit field for field.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/groups.h"
#include "model/freeman_halton.h"
#include "model/holm.h"
#include "model/hypergeometric.h"
#include "torvan.h"

namespace {

const std::string data = std::string(TORVAN_TEST_DATA) + "/groups/";

std::vector<std::vector<std::string>> tsv(const std::string &name) {
  std::ifstream in(data + name);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  std::getline(in, line); // the header
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream s(line);
    for (std::string c; std::getline(s, c, '\t');)
      cells.push_back(c);
    rows.push_back(cells);
  }
  return rows;
}

std::vector<group_counts> parse(const std::string &written) {
  std::vector<group_counts> groups;
  std::stringstream s(written);
  for (std::string g; s >> g;) {
    const auto a = g.find(':'), b = g.rfind(':');
    groups.push_back(
        {g.substr(0, a), std::stoi(g.substr(a + 1, b - a - 1)), std::stoi(g.substr(b + 1))});
  }
  return groups;
}

void expect_relative(double got, const std::string &want, double tol, const std::string &what) {
  const double w = std::stod(want);
  EXPECT_NEAR(got, w, tol * std::fabs(w) + 1e-300) << what;
}

void expect_p(const maybe<double> &got, const std::string &want, double tol,
              const std::string &what) {
  if (want == "NA") {
    EXPECT_FALSE(got.value) << what;
    EXPECT_FALSE(got.why.empty()) << what;
  } else {
    ASSERT_TRUE(got.value) << what;
    expect_relative(*got.value, want, tol, what);
  }
}

TEST(GroupsAudit, OverallTestsAreRsAndSciPys) {
  const auto rows = tsv("reference.tsv");
  ASSERT_EQ(rows.size(), 10u);
  for (const auto &r : rows) {
    const groups_audit g = audit_groups(parse(r[0]));
    EXPECT_EQ(g.groups[g.reference].counts.name, r[1]) << r[0];
    ASSERT_TRUE(g.exact_p.value) << r[0];
    expect_relative(*g.exact_p.value, r[2], 1e-9, r[0] + " exact");
    expect_relative(g.chi_square, r[3], 1e-13, r[0] + " chi-square, R");
    expect_relative(g.chi_square_p, r[4], 1e-12, r[0] + " chi-square p, R");
    expect_relative(g.chi_square, r[5], 1e-13, r[0] + " chi-square, SciPy");
    expect_relative(g.chi_square_p, r[6], 1e-12, r[0] + " chi-square p, SciPy");
    EXPECT_EQ(g.df, static_cast<int>(g.groups.size()) - 1);
  }
}

TEST(GroupsAudit, PairwiseTestsAndHolmAreRs) {
  const auto rows = tsv("pairwise.tsv");
  ASSERT_EQ(rows.size(), 32u);
  std::map<std::string, groups_audit> audits;
  for (const auto &r : rows) {
    if (!audits.count(r[0])) audits.emplace(r[0], audit_groups(parse(r[0])));
    const groups_audit &g = audits.at(r[0]);
    const group_result *found = nullptr;
    for (const group_result &x : g.groups)
      if (x.counts.name == r[1]) found = &x;
    ASSERT_TRUE(found && found->versus) << r[0] << " " << r[1];
    const selection_audit &a = *found->versus;
    const holm_adjusted &h = found->holm;
    const std::string w = r[0] + " " + r[1];
    expect_relative(a.fisher_p_two_sided, r[2], 1e-9, w + " fisher two-sided");
    expect_p(h.fisher_p_two_sided, r[3], 1e-9, w + " fisher two-sided, Holm");
    expect_relative(a.fisher_p_lower, r[4], 1e-9, w + " fisher lower");
    expect_p(h.fisher_p_lower, r[5], 1e-9, w + " fisher lower, Holm");
    expect_p(a.z_p_two_sided, r[6], 1e-9, w + " z two-sided");
    expect_p(h.z_p_two_sided, r[7], 1e-9, w + " z two-sided, Holm");
  }
}

// Every table with the margins, its probability from exact binomial
// coefficients, summed where no more probable than the observed.
double brute_force(const std::vector<int> &n, const std::vector<int> &x) {
  const auto choose = [](int a, int b) {
    double c = 1.0;
    for (int i = 1; i <= b; ++i)
      c = c * (a - b + i) / i;
    return c;
  };
  int total = 0, hires = 0;
  for (std::size_t i = 0; i < n.size(); ++i) {
    total += n[i];
    hires += x[i];
  }
  double observed = 1.0;
  for (std::size_t i = 0; i < n.size(); ++i)
    observed *= choose(n[i], x[i]);
  double p = 0.0;
  std::vector<int> t(n.size(), 0);
  for (;;) {
    int s = 0;
    double w = 1.0;
    for (std::size_t i = 0; i < n.size(); ++i) {
      s += t[i];
      w *= choose(n[i], t[i]);
    }
    if (s == hires && w <= observed * (1.0 + 1e-7)) p += w;
    std::size_t i = 0;
    while (i < n.size() && ++t[i] > n[i])
      t[i++] = 0;
    if (i == n.size()) break;
  }
  return p / choose(total, hires);
}

TEST(FreemanHalton, IsEveryTableAddedUp) {
  unsigned seed = 12345;
  const auto next = [&](int below) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<unsigned>(below));
  };
  for (int trial = 0; trial < 300; ++trial) {
    const int k = 2 + next(4);
    std::vector<int> n, x;
    for (int i = 0; i < k; ++i) {
      n.push_back(next(9));
      x.push_back(n.back() > 0 ? next(n.back() + 1) : 0);
    }
    const exact_test e = freeman_halton(n, x, 1'000'000'000, 1'000'000);
    ASSERT_TRUE(e.p);
    EXPECT_NEAR(*e.p, brute_force(n, x), 1e-12) << trial;
  }
}

TEST(FreemanHalton, TwoGroupsIsFishersTwoSidedTest) {
  const int tables[][4] = {{50, 5, 150, 30},
                           {10, 0, 10, 5},
                           {1, 1, 9, 0},
                           {300, 90, 500, 120},
                           {5000, 1400, 5000, 1520}};
  for (const auto &t : tables) {
    const exact_test e = freeman_halton({t[0], t[2]}, {t[1], t[3]}, 1'000'000, 1'000'000);
    const fisher_p f = fisher_test(hypergeometric(t[0], t[2], t[1] + t[3]), t[1]);
    ASSERT_TRUE(e.p);
    EXPECT_NEAR(*e.p, f.two_sided, 1e-10 * f.two_sided) << t[0] << " " << t[1];
  }
}

// A table too large for the exact test says so, having counted its work.
TEST(FreemanHalton, GivesUpBeyondItsBound) {
  const exact_test e = freeman_halton({2000, 2000, 2000, 2000, 2000, 2000},
                                      {600, 660, 560, 620, 580, 640}, 1'000'000, 1'000'000);
  EXPECT_FALSE(e.p);
  EXPECT_LE(e.work, 1'000'000); // given up before the stage that would pass the bound
  const groups_audit g = audit_groups(parse("A:10000:3000 B:10000:3100 C:10000:2950 "
                                            "D:10000:3010 E:10000:3050 F:10000:2980"));
  EXPECT_FALSE(g.exact_p.value);
  EXPECT_NE(g.exact_p.why.find("not computed"), std::string::npos);
}

TEST(Holm, StepsDownAsItsDefinitionSays) {
  const std::vector<std::optional<double>> p = {0.01, 0.04, 0.03, std::nullopt, 0.5, 0.3};
  const auto h = holm(p);
  // m = 5: 5 (0.01), max(4 (0.03), ...), 3 (0.04), 2 (0.3), 1 (0.5).
  EXPECT_EQ(h[0], 5 * 0.01);
  EXPECT_EQ(h[2], 4 * 0.03);
  EXPECT_EQ(h[1], 4 * 0.03); // 3 (0.04) = 0.12 is not above 0.12
  EXPECT_FALSE(h[3]);
  EXPECT_EQ(h[5], 2 * 0.3);
  EXPECT_EQ(h[4], 2 * 0.3); // the running maximum
  EXPECT_EQ(holm({0.6, 0.7})[0], 1.0);
}

// With two groups each figure is the two-group audit's, bit for bit.
TEST(GroupsAudit, TwoGroupsAreTheTwoGroupAudit) {
  const selection_counts pairs[] = {{50, 5, 150, 30}, {10, 0, 10, 5}, {7, 2, 3, 3}, {1, 0, 5, 3}};
  for (const selection_counts &c : pairs) {
    const groups_audit g = audit_groups({{"min", c.minority_applicants, c.minority_hires},
                                         {"maj", c.majority_applicants, c.majority_hires}},
                                        "maj");
    nlohmann::json want = nlohmann::json::parse(audit_json_text(audit_selection(c), -1));
    const nlohmann::json doc = nlohmann::json::parse(groups_json_text(g, -1));
    nlohmann::json got = doc["groups"][0]["versus_reference"];
    for (const char *test : {"z_test", "fisher_exact", "z_ir"})
      for (const char *p : {"p_lower", "p_two_sided", "p_mid"}) {
        const std::string holm = std::string(p) + "_holm";
        if (!got[test].contains(p)) continue;
        EXPECT_EQ(got[test][holm], got[test][p]) << test << " " << p;
        got[test].erase(holm);
        got[test].erase(holm + "_reason");
      }
    for (const char *header : {"program", "version", "command", "alpha"})
      want.erase(header);
    EXPECT_EQ(got, want) << c.minority_applicants;
    const auto &group = doc["groups"][0];
    EXPECT_EQ(group["impact_ratio"], want["impact_ratio"]);
    EXPECT_EQ(group["four_fifths"], want["four_fifths"]);
    EXPECT_EQ(group["shortfall"], want["shortfall"]);
    EXPECT_EQ(group["rate"], want["rates"]["minority"]);
    EXPECT_NEAR(*g.exact_p.value, want["fisher_exact"]["p_two_sided"].get<double>(), 1e-12);
  }
}

TEST(GroupsAudit, ReferenceIsTheHighestRateThenTheLargerGroup) {
  const struct {
    const char *groups, *reference, *why;
  } cases[] = {
      {"A:10:5 B:20:4 C:10:2", "A", "the highest selection rate"},
      {"A:10:5 B:20:10 C:10:2", "B", "the highest selection rate, shared with A: the larger group"},
      {"A:10:5 B:10:5 C:10:2", "A",
       "the highest selection rate, shared with B: the first given of the largest"},
  };
  for (const auto &c : cases) {
    const groups_audit g = audit_groups(parse(c.groups));
    EXPECT_EQ(g.groups[g.reference].counts.name, c.reference) << c.groups;
    EXPECT_EQ(g.reference_why, c.why) << c.groups;
    EXPECT_FALSE(g.groups[g.reference].versus);
  }
}

TEST(GroupsAudit, RefusesGroupsThatCannotBeCompared) {
  const struct {
    std::vector<group_counts> groups;
    const char *reference, *message;
  } cases[] = {
      {{{"A", 5, 2}}, "", "there must be at least two groups to compare, not 1"},
      {{{"A", 5, 2}, {"A", 4, 1}}, "", "group 2 (A): the group is named twice (first as group 1)"},
      {{{"A", 5, 2}, {"B", -4, 1}}, "", "group 2 (B): applicants = -4 is negative"},
      {{{"A", 5, 6}, {"B", 4, 1}}, "", "group 1 (A): hires = 6 is more than applicants = 5"},
      {{{"A", 0, 0}, {"B", 4, 1}},
       "",
       "group 1 (A): the group has no applicants: its selection rate is undefined"},
      {{{"A", 5, 0}, {"B", 4, 0}},
       "",
       "nobody was hired: the tests of equal selection rates are undefined"},
      {{{"A", 5, 5}, {"B", 4, 4}},
       "",
       "everybody was hired: the tests of equal selection rates are undefined"},
      {{{"A", 5, 2}, {"B", 4, 1}}, "C", "the reference 'C' is not one of the groups"},
      {{{"A", 60000, 2}, {"B", 50000, 1}},
       "",
       "group 2 (B): with the reference, A, it has 110000 applicants, more than the 100000 a "
       "comparison of two groups takes"},
  };
  for (const auto &c : cases) {
    const auto why = groups_refusal(c.groups, c.reference);
    ASSERT_TRUE(why) << c.message;
    EXPECT_EQ(*why, c.message);
  }
  EXPECT_FALSE(groups_refusal({{"A", 1, 0}, {"B", 1, 1}}));
}

} // namespace
