// Plans against independent truths: every row is its single problem's
// figures to the last bit whatever the thread count, the false-positive rates
// at esize 0 are hypergeometric sums, the found sizes agree with the rows, and
// every bad plan is refused with its message.
#include "engine/plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>

#include <gsl/gsl_cdf.h>
#include <gsl/gsl_randist.h>

namespace {

plan_options binomial_plan(int from, int to, int step) {
  plan_options o;
  o.esize = -0.4;
  o.prop = 0.3;
  o.selection_ratio = 0.25;
  o.ntot = ntot_range{from, to, step};
  return o;
}

plan_options known_plan(int from, int to, int step) {
  plan_options o;
  o.esize = 0.6;
  o.minority_share = 0.45;
  o.nhire = 12;
  o.ntot = ntot_range{from, to, step};
  return o;
}

std::uint64_t bits(double v) {
  return std::bit_cast<std::uint64_t>(v);
}

// Rows computed on one thread, on two and on three, each against the
// problem computed alone: the same bits.
TEST(Plan, EveryRowIsItsSingleProblemsFigures) {
  plan_options nested = binomial_plan(8, 20, 4);
  nested.method = ai_method::nested;
  for (plan_options o : {binomial_plan(10, 300, 29), known_plan(5, 140, 15), nested}) {
    for (int threads : {1, 2, 3}) {
      o.threads = threads;
      ASSERT_FALSE(plan_refusal(o)) << *plan_refusal(o);
      const plan_result r = solve_plan(o);
      ASSERT_FALSE(r.cancelled);
      ASSERT_EQ(static_cast<int>(r.rows.size()), (o.ntot->to - o.ntot->from) / o.ntot->step + 1);
      for (std::size_t i = 0; i < r.rows.size(); ++i) {
        const plan_row &row = r.rows[i];
        EXPECT_EQ(row.ntot, o.ntot->from + static_cast<int>(i) * o.ntot->step);
        const plan_point pt = plan_point_at(o, row.ntot);
        EXPECT_EQ(row.nhire, pt.p.nhire);
        EXPECT_EQ(row.minority, pt.opt.minority);
        if (!row_computed(row)) {
          EXPECT_EQ(row.error, *figures_refusal(pt.p, pt.opt)) << row.ntot;
          continue;
        }
        const figures alone = solve_figures(pt.p, pt.opt);
        for (const std::string &rule : flagging_rules())
          EXPECT_EQ(bits(rule_probability(row.f.adverse_impact, rule)),
                    bits(rule_probability(alone.adverse_impact, rule)))
              << rule << " " << row.ntot << " threads " << threads;
        EXPECT_EQ(bits(row.f.summary.p_above), bits(alone.summary.p_above)) << row.ntot;
        EXPECT_EQ(bits(row.f.summary.p_undefined), bits(alone.summary.p_undefined)) << row.ntot;
      }
    }
  }
}

TEST(Plan, SizesFollowTheRoundingRules) {
  plan_options o = binomial_plan(10, 10, 1);
  o.selection_ratio = 0.25; // 2.5 hires: halves away from zero
  EXPECT_EQ(plan_point_at(o, 10).p.nhire, 3);
  o.selection_ratio = 0.01; // 0.1 hires: at least one
  EXPECT_EQ(plan_point_at(o, 10).p.nhire, 1);
  EXPECT_EQ(plan_point_at(o, 10).opt.minority, -1);
  plan_options k = known_plan(10, 10, 1);
  k.minority_share = 0.25;
  EXPECT_EQ(plan_point_at(k, 10).opt.minority, 3);
  EXPECT_EQ(plan_point_at(k, 10).p.nhire, 12);
}

// The rules, decided here from their textbook definitions for one pool.
struct verdicts {
  bool four_fifths, one_person, z, fisher, z_ir;
};

verdicts decide(int n1, int n0, int h, int x, double alpha) {
  const int y = h - x;
  const double r1 = static_cast<double>(x) / n1, r0 = static_cast<double>(y) / n0;
  const double p = static_cast<double>(h) / (n1 + n0);
  const double z = gsl_cdf_ugaussian_Qinv(alpha / 2);
  const double zstat = (r0 - r1) / std::sqrt(p * (1 - p) * (1.0 / n1 + 1.0 / n0));
  const double zir = std::log(r1 / r0) / std::sqrt((1 - p) / (p * n1) + (1 - p) / (p * n0));
  const double lower =
      gsl_cdf_hypergeometric_P(static_cast<unsigned>(x), static_cast<unsigned>(n1),
                               static_cast<unsigned>(n0), static_cast<unsigned>(h));
  const bool ff = 5.0 * x * n0 < 4.0 * y * n1;
  return {ff, ff && 5.0 * (x + 1) * n0 < 4.0 * y * n1, zstat >= z, lower <= alpha / 2,
          x == 0 || (y > 0 && zir <= -z)};
}

// At esize 0 the minority hires of a known pool are hypergeometric: each
// rule's false-positive rate is the sum of the probabilities of the outcomes
// it flags.
TEST(Plan, FalsePositiveRatesAreHypergeometricSums) {
  plan_options o;
  o.esize = 0.0;
  o.minority_share = 0.3;
  o.selection_ratio = 0.3;
  o.alpha = 0.1;
  o.ntot = ntot_range{6, 300, 17};
  o.threads = 2;
  const plan_result r = solve_plan(o);
  ASSERT_EQ(r.rows.size(), 18u);
  for (const plan_row &row : r.rows) {
    ASSERT_TRUE(row_computed(row)) << row.error;
    const int n1 = row.minority, n0 = row.ntot - n1, h = row.nhire;
    double ff = 0, one = 0, z = 0, fisher = 0, zir = 0, both = 0;
    for (int x = std::max(0, h - n0); x <= std::min(h, n1); ++x) {
      const double px =
          gsl_ran_hypergeometric_pdf(static_cast<unsigned>(x), static_cast<unsigned>(n1),
                                     static_cast<unsigned>(n0), static_cast<unsigned>(h));
      const verdicts v = decide(n1, n0, h, x, o.alpha);
      ff += v.four_fifths ? px : 0;
      one += v.one_person ? px : 0;
      z += v.z ? px : 0;
      fisher += v.fisher ? px : 0;
      zir += v.z_ir ? px : 0;
      both += v.four_fifths && v.z ? px : 0;
    }
    const audit &a = row.f.adverse_impact;
    for (const auto &[got, truth] : {std::pair{a.four_fifths, ff},
                                     {a.four_fifths_one_person, one},
                                     {a.z_test, z},
                                     {a.fisher_exact, fisher},
                                     {a.z_ir, zir},
                                     {a.four_fifths_and_z, both}})
      EXPECT_NEAR(got, truth, 1e-12 + 1e-11 * truth) << row.ntot;
  }
}

// Found sizes on a saw-tooth: 0.7 0.85 0.79 0.81 0.9 reaches 0.8 first at
// the second size and stays from the fourth; a size not computed reaches
// nothing; a last size below the target leaves nothing that stays.
TEST(Plan, FoundSizesOfASawTooth) {
  const auto rows_of = [](std::vector<double> p) {
    std::vector<plan_row> rows;
    for (std::size_t i = 0; i < p.size(); ++i) {
      plan_row r;
      r.ntot = 10 + static_cast<int>(i);
      if (std::isnan(p[i])) r.error = "not computed";
      r.f.adverse_impact.z_test = p[i];
      rows.push_back(r);
    }
    return rows;
  };
  const double none = std::nan("");
  const struct {
    std::vector<double> p;
    std::optional<int> first, stays;
  } cases[] = {
      {{0.7, 0.85, 0.79, 0.81, 0.9}, 11, 13},
      {{0.8, 0.8, 0.8}, 10, 10},
      {{0.9, none, 0.9}, 10, 12},
      {{none, 0.95, 0.79}, 11, std::nullopt},
      {{0.1, 0.2}, std::nullopt, std::nullopt},
  };
  for (const auto &c : cases) {
    const std::vector<plan_found> f = found_sizes(rows_of(c.p), {"z_test"}, 0.8);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].rule, "z_test");
    EXPECT_EQ(f[0].first, c.first) << c.p[0];
    EXPECT_EQ(f[0].stays, c.stays) << c.p[0];
  }
}

// On a computed plan: first is the first row at or above the target; from
// stays on every row is, and the row before it is not.
TEST(Plan, FoundSizesAgreeWithTheRows) {
  plan_options o = binomial_plan(10, 400, 3);
  o.target = 0.5;
  o.threads = 2;
  const plan_result r = solve_plan(o);
  ASSERT_EQ(r.found.size(), flagging_rules().size());
  for (const plan_found &f : r.found) {
    const auto p = [&](const plan_row &row) {
      return rule_probability(row.f.adverse_impact, f.rule);
    };
    std::optional<int> first;
    for (const plan_row &row : r.rows)
      if (!first && p(row) >= o.target) first = row.ntot;
    EXPECT_EQ(f.first, first) << f.rule;
    if (!f.stays) {
      EXPECT_LT(p(r.rows.back()), o.target) << f.rule;
      continue;
    }
    for (std::size_t i = 0; i < r.rows.size(); ++i) {
      if (r.rows[i].ntot >= *f.stays) {
        EXPECT_GE(p(r.rows[i]), o.target) << f.rule;
      }
      if (r.rows[i].ntot == *f.stays && i > 0) {
        EXPECT_LT(p(r.rows[i - 1]), o.target) << f.rule;
      }
    }
  }
  // The four-fifths rule reaches 0.5 here; the tests do not.
  EXPECT_TRUE(r.found[0].first.has_value());
}

TEST(Plan, RowsThatCannotBeComputedSaySo) {
  plan_options o = known_plan(5, 20, 5); // 12 hires: more than 5 or 10 applicants
  const plan_result r = solve_plan(o);
  ASSERT_EQ(r.rows.size(), 4u);
  EXPECT_EQ(r.rows[0].error, "nhire = 12 must lie between 0 and ntot = 5");
  EXPECT_EQ(r.rows[1].error, "nhire = 12 must lie between 0 and ntot = 10");
  EXPECT_TRUE(row_computed(r.rows[2]) && row_computed(r.rows[3]));
}

TEST(Plan, CancelledBeforehandComputesNothing) {
  const std::atomic<bool> stop{true};
  for (int threads : {1, 2}) {
    plan_options o = binomial_plan(10, 200, 1);
    o.threads = threads;
    o.cancel = &stop;
    int calls = 0;
    o.progress = [&](int, int) { ++calls; };
    const plan_result r = solve_plan(o);
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(r.rows.empty() && r.found.empty());
  }
}

// The work of the rows, for the time left: a small row's 1 + (ntot/2000)^1.5,
// cumulated, so that half the rows of a sweep over decades are far less than
// half its work.
TEST(Plan, WorkGrowsWithTheSizes) {
  const std::vector<double> w = cumulative_work({1000, 9000, 4000});
  ASSERT_EQ(w.size(), 4u);
  const double unit[] = {1.0 + std::pow(0.5, 1.5), 1.0 + std::pow(2.5, 1.5),
                         1.0 + std::pow(4.5, 1.5)};
  EXPECT_EQ(w[0], 0.0);
  EXPECT_DOUBLE_EQ(w[1], unit[0]);
  EXPECT_DOUBLE_EQ(w[3], unit[0] + unit[1] + unit[2]);
  const std::vector<double> sweep = cumulative_work({2, 100001, 1});
  ASSERT_EQ(sweep.size(), 100001u);
  EXPECT_LT(sweep[50000] / sweep.back(), 0.2);
  EXPECT_TRUE(std::is_sorted(sweep.begin(), sweep.end()));
}

TEST(Plan, ProgressCountsRows) {
  plan_options o = binomial_plan(10, 40, 3);
  o.threads = 2;
  int last = 0, total = 0;
  o.progress = [&](int done, int all) {
    EXPECT_GE(done, last);
    last = done;
    total = all;
  };
  solve_plan(o);
  EXPECT_EQ(last, 11);
  EXPECT_EQ(total, 11);
}

TEST(Plan, BadPlansAreRefusedWithTheirMessages) {
  const auto with = [](auto change) {
    plan_options o = binomial_plan(10, 100, 1);
    change(o);
    return plan_refusal(o).value_or("");
  };
  const struct {
    std::string got, message;
  } cases[] = {
      {with([](plan_options &) {}), ""},
      {with([](plan_options &o) { o.esize.reset(); }), "esize is required"},
      {with([](plan_options &o) { o.esize = INFINITY; }), "esize = inf must be a finite number"},
      {with([](plan_options &o) { o.prop.reset(); }), "prop or minority_share is required"},
      {with([](plan_options &o) { o.minority_share = 0.5; }),
       "prop and minority_share exclude each other: give one"},
      {with([](plan_options &o) { o.prop = 1.0; }), "prop = 1 must lie strictly between 0 and 1"},
      {with([](plan_options &o) { o.prop.reset(), o.minority_share = 1.5; }),
       "minority_share = 1.5 must lie between 0 and 1"},
      {with([](plan_options &o) { o.prop.reset(), o.minority_share = NAN; }),
       "minority_share = nan must lie between 0 and 1"},
      {with([](plan_options &o) { o.prop.reset(), o.minority_share = 0.0; }), ""},
      {with([](plan_options &o) { o.selection_ratio.reset(); }),
       "selection_ratio or nhire is required"},
      {with([](plan_options &o) { o.nhire = 3; }),
       "selection_ratio and nhire exclude each other: give one"},
      {with([](plan_options &o) { o.selection_ratio = 0.0; }),
       "selection_ratio = 0 must lie above 0 and at most 1"},
      {with([](plan_options &o) { o.selection_ratio = 1.0; }), ""},
      {with([](plan_options &o) { o.selection_ratio = 1.25; }),
       "selection_ratio = 1.25 must lie above 0 and at most 1"},
      {with([](plan_options &o) { o.selection_ratio.reset(), o.nhire = -1; }),
       "nhire = -1 must be at least 0"},
      {with([](plan_options &o) { o.ntot.reset(); }), "ntot is required"},
      {with([](plan_options &o) {
         o.ntot = ntot_range{100, 10, 1};
       }),
       "ntot = 100:10 runs backwards: 100 is above 10"},
      {with([](plan_options &o) {
         o.ntot = ntot_range{1, 10, 1};
       }),
       "ntot = 1:10 starts below 2, the fewest applicants a problem can have"},
      {with([](plan_options &o) {
         o.ntot = ntot_range{10, 100, 0};
       }),
       "ntot = 10:100:0 has a step of 0; it must be at least 1"},
      {with([](plan_options &o) {
         o.ntot = ntot_range{10, 2000000, 1};
       }),
       "ntot = 10:2000000 has 1999991 sizes; a plan takes at most 100000 (use a larger step)"},
      {with([](plan_options &o) {
         o.ntot = ntot_range{10, 2000000, 20};
       }),
       ""},
      {with([](plan_options &o) { o.alpha = 1.0; }), "alpha = 1 must lie strictly between 0 and 1"},
      {with([](plan_options &o) { o.target = 0.0; }),
       "target = 0 must lie strictly between 0 and 1"},
      {with([](plan_options &o) { o.target = 1.0; }),
       "target = 1 must lie strictly between 0 and 1"},
      {with([](plan_options &o) {
         o.rules = {"z_test", "chi_square"};
       }),
       "rule 'chi_square' is not one of four_fifths, four_fifths_one_person, z_test, "
       "fisher_exact, z_ir, four_fifths_and_z"},
      {with([](plan_options &o) { o.threads = 0; }), "threads = 0 must be at least 1"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(c.got, c.message);
}

TEST(Plan, RulesAskedForInTheDocumentsOrder) {
  plan_options o = binomial_plan(10, 20, 1);
  EXPECT_EQ(plan_rules(o), flagging_rules());
  o.rules = {"z_ir", "four_fifths", "z_ir"};
  EXPECT_EQ(plan_rules(o), (std::vector<std::string>{"four_fifths", "z_ir"}));
  EXPECT_THROW(rule_probability(audit{}, "no_comparison"), std::invalid_argument);
}

} // namespace
