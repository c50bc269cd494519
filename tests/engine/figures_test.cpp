// The figures without the table against the same figures read off the table,
// on problems where both run: equal within 1e-12, percentiles identical.
#include "engine/figures.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct figures_case {
  problem p;
  int minority; // -1: binomial pools
};

const figures_case cases[] = {
    {{12, 5, 0.0, 0.3}, -1},      {{50, 10, -1.0, 0.2}, -1},      {{200, 50, -0.5, 0.3}, -1},
    {{200, 50, 0.7, 0.3}, -1},    {{300, 1, -0.3, 0.5}, -1},      {{300, 299, 0.3, 0.5}, -1},
    {{500, 100, -2.0, 0.01}, -1}, {{500, 100, 1.0, 0.99}, -1},    {{2000, 400, -0.5, 0.3}, -1},
    {{3000, 30, 0.0, 0.02}, -1},  {{5000, 10, 8.0, 0.01}, -1},    {{1000, 500, 0.0, 0.5}, 400},
    {{1000, 100, -1.0, 0.5}, 0},  {{1000, 100, -1.0, 0.5}, 1000}, {{4000, 1200, -0.4, 0.5}, 900},
    {{40, 39, -6.0, 0.5}, -1},
};

void expect_same(double table, double direct, const char *what, const problem &p) {
  if (std::isnan(table)) {
    EXPECT_TRUE(std::isnan(direct)) << what << " " << p.ntot << " " << p.nhire;
    return;
  }
  EXPECT_NEAR(direct, table, 1e-12) << what << " " << p.ntot << " " << p.nhire << " " << p.esize;
}

TEST(Figures, EqualTheTablesFigures) {
  for (const figures_case &c : cases) {
    solve_options opt;
    opt.method = ai_method::direct;
    opt.threads = 2;
    opt.minority = c.minority;
    const solution s = solve(c.p, opt);
    const ai_summary t = summarize(s);
    const figures f = solve_figures(c.p, opt);
    const ai_summary &d = f.summary;
    expect_same(t.mean, d.mean, "mean", c.p);
    expect_same(t.var, d.var, "var", c.p);
    expect_same(t.sd, d.sd, "sd", c.p);
    expect_same(t.p_undefined, d.p_undefined, "p_undefined", c.p);
    expect_same(t.p_above, d.p_above, "p_above", c.p);
    expect_same(t.p_below, d.p_below, "p_below", c.p);
    for (const auto &[a, b] :
         {std::pair{t.p5, d.p5}, {t.p25, d.p25}, {t.p50, d.p50}, {t.p75, d.p75}, {t.p95, d.p95}})
      if (!std::isnan(a)) {
        EXPECT_EQ(a, b) << "percentile " << c.p.ntot << " " << c.p.nhire;
      }
    const audit &x = s.adverse_impact, &y = f.adverse_impact;
    for (const auto &[a, b] : {std::pair{x.no_comparison, y.no_comparison},
                               {x.four_fifths, y.four_fifths},
                               {x.four_fifths_one_person, y.four_fifths_one_person},
                               {x.z_test, y.z_test},
                               {x.fisher_exact, y.fisher_exact},
                               {x.z_ir, y.z_ir},
                               {x.four_fifths_and_z, y.four_fifths_and_z},
                               {x.four_fifths_not_z, y.four_fifths_not_z},
                               {x.z_not_four_fifths, y.z_not_four_fifths},
                               {x.undefined_no_minority_hired, y.undefined_no_minority_hired},
                               {x.undefined_group_absent, y.undefined_group_absent}})
      expect_same(a, b, "rule", c.p);
    EXPECT_EQ(f.status.skipped_weight, s.status.skipped_weight);
    EXPECT_LT(f.status.skipped_weight + f.skipped_outcome_weight, 1e-14);
  }
}

} // namespace

namespace {

double upper(double z) {
  return 0.5 * std::erfc(z / std::sqrt(2.0));
}

// The lowest hired score c of a population in which a share `share` of
// applicants scores N(esize, 1) and the rest N(0, 1), when a fraction
// `ratio` is hired: share Q(c - esize) + (1 - share) Q(c) = ratio.
double cut_score(double esize, double share, double ratio) {
  double lo = -40.0, hi = 40.0;
  for (int i = 0; i < 200; ++i) {
    const double mid = 0.5 * (lo + hi);
    (share * upper(mid - esize) + (1 - share) * upper(mid) > ratio ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

} // namespace

// Large pools against the large-sample limit: the ratio tends to the
// population's Q(c) / Q(c - esize), and lies within a few of its standard
// deviations of it.
TEST(Figures, LargePoolsApproachThePopulationRatio) {
  const struct {
    problem p;
    int minority;
  } cases[] = {{{100000, 10000, -0.5, 0.3}, -1},
               {{1000000, 100000, -0.5, 0.3}, 300000},
               {{1000000, 20000, -0.3, 0.2}, 200000},
               {{200000, 60000, 0.4, 0.1}, -1}};
  for (const auto &c : cases) {
    solve_options opt;
    opt.method = ai_method::direct;
    opt.threads = 2;
    opt.minority = c.minority;
    const figures f = solve_figures(c.p, opt);
    const double cut = cut_score(c.p.esize, c.p.prop, static_cast<double>(c.p.nhire) / c.p.ntot);
    const double limit = upper(cut) / upper(cut - c.p.esize);
    EXPECT_LT(std::fabs(f.summary.mean - limit), 3 * f.summary.sd)
        << c.p.ntot << ": mean " << f.summary.mean << " limit " << limit;
    EXPECT_LT(f.summary.sd, 0.05 * limit);
    EXPECT_LT(f.status.skipped_weight + f.skipped_outcome_weight, 1e-14);
  }
}
