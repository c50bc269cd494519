// torvan design against published numbers, closed forms and its own
// definitions: Dahlke & Sackett (2022), Sackett & Ellingson (1997), the
// single problem's figures, and every rule's monotone fall in esize.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/design.h"
#include "engine/figures.h"

namespace {

// Dahlke & Sackett (2022), Tables 1 and 3: BIO, C, GMA, INT, SI; 15%
// minority; an overall matrix.
design_options dahlke_sackett() {
  design_options o;
  const char *names[] = {"BIO", "C", "GMA", "INT", "SI"};
  const double d[] = {.39, -.09, .72, .04, .39}, r[] = {.32, .22, .52, .20, .48};
  for (int i = 0; i < 5; ++i)
    o.predictors.push_back({names[i], r[i], -d[i]});
  o.correlations = {{1, .51, .37, .25, .16},
                    {.51, 1, .03, .34, .13},
                    {.37, .03, 1, .02, .31},
                    {.25, .34, .02, 1, -.02},
                    {.16, .13, .31, -.02, 1}};
  o.matrix = design_matrix::overall;
  o.ntot = 200;
  o.nhire = 20;
  o.prop = 0.15;
  o.threads = 1;
  return o;
}

double rule_p(const design_point &pt, const char *rule) {
  return rule_probability(pt.f.adverse_impact, rule);
}

TEST(Design, DahlkeSackettWeightsGiveTheirValiditiesAndD) {
  const struct {
    std::vector<double> w;
    double validity, d;
  } published[] = {{{0, 1, 0, 0, 0}, .220, -.090},
                   {{0, .842, 0, .146, .012}, .244, -.072},
                   {{0, .415, 0, .200, .385}, .469, .177},
                   {{0, .383, .019, .200, .398}, .490, .213},
                   {{0, .289, .147, .186, .377}, .580, .375},
                   {{.030, .091, .387, .156, .336}, .658, .653}};
  design_options o = dahlke_sackett();
  o.points = 41;
  for (const auto &p : published)
    o.compare.push_back({"published", p.w});
  ASSERT_FALSE(design_refusal(o));
  const design_result r = solve_design(o);
  ASSERT_TRUE(r.error.empty());
  const predictor_set set = design_predictors(o);
  const composite_front front(set, true);
  for (std::size_t i = 0; i < std::size(published); ++i) {
    // Their weights are rounded to three decimals: the figures to about one unit
    // in the third.
    EXPECT_NEAR(r.compared[i].validity, published[i].validity, 1e-3) << i;
    EXPECT_NEAR(-r.compared[i].esize, published[i].d, 1e-3) << i;
    // The front at their esize is at least as valid.
    const double e = r.compared[i].esize;
    const auto w = front.at(design_separation(o, e));
    const double best = w ? validity_of(set, *w) : validity_of(set, front.most_valid());
    EXPECT_GE(best, r.compared[i].validity - 1e-12) << i;
  }
  EXPECT_NEAR(r.front.back().validity, .658, 5e-4);
  EXPECT_NEAR(-r.front.back().esize, .653, 5e-4);
  EXPECT_NEAR(r.front.front().validity, .220, 1e-12); // conscientiousness alone
}

// Sackett & Ellingson (1997): unit weights, one predictor with d = 1 and
// k - 1 with d = 0, all intercorrelations rbar: d = 1 / sqrt(k + k(k-1) rbar).
TEST(Design, SackettEllingsonCompositeD) {
  const struct {
    int k;
    double rbar, d;
  } table[] = {{2, 0.0, .707}, {3, 0.3, .456}, {4, 0.5, .316}};
  for (const auto &t : table) {
    design_options o;
    o.ntot = 100;
    o.nhire = 10;
    o.prop = 0.2;
    o.points = 2;
    o.threads = 1;
    o.correlations.assign(t.k, std::vector<double>(t.k, t.rbar));
    for (int i = 0; i < t.k; ++i) {
      std::string name = "p";
      name += std::to_string(i);
      o.predictors.push_back({name, 0.3, i == 0 ? -1.0 : 0.0});
      o.correlations[i][i] = 1.0;
    }
    o.compare.push_back({"unit", {}});
    ASSERT_FALSE(design_refusal(o)) << *design_refusal(o);
    const design_result r = solve_design(o);
    EXPECT_NEAR(-r.compared[0].esize, t.d, 5e-4) << t.k;
    EXPECT_NEAR(-r.compared[0].esize, 1.0 / std::sqrt(t.k + t.k * (t.k - 1) * t.rbar), 1e-15);
  }
}

TEST(Design, OnePredictorIsOnePoint) {
  for (const design_weights w : {design_weights::nonnegative, design_weights::free}) {
    design_options o;
    o.predictors = {{"GMA", 0.5, -0.8}};
    o.correlations = {{1.0}};
    o.weights = w;
    o.ntot = 50;
    o.selection_ratio = 0.2;
    o.minority = 10;
    o.threads = 1;
    const design_result r = solve_design(o);
    ASSERT_EQ(r.front.size(), 1u);
    EXPECT_EQ(r.front[0].weights, std::vector<double>{1.0});
    EXPECT_EQ(r.front[0].validity, 0.5);
    EXPECT_EQ(r.front[0].esize, -0.8);
    EXPECT_EQ(r.selection.nhire, 10);
  }
}

// Each point's figures from its own weights, as a reader would compute them,
// and its probabilities those of the single problem.
TEST(Design, PointsAreTheirWeightsAndTheirSingleProblems) {
  for (const design_matrix m : {design_matrix::within, design_matrix::overall})
    for (const design_weights wr : {design_weights::nonnegative, design_weights::free}) {
      design_options o = dahlke_sackett();
      o.matrix = m;
      o.weights = wr;
      o.points = 7;
      o.compare = {{"unit", {}}, {"regression", {}}};
      const design_result r = solve_design(o);
      ASSERT_TRUE(r.error.empty());
      ASSERT_EQ(r.front.size(), 7u);
      const double p = 0.15, pq = p * (1 - p);
      std::vector<design_point> all = r.front;
      all.insert(all.end(), r.compared.begin(), r.compared.end());
      for (const design_point &pt : all) {
        double rw = 0, rr = 0, gw = 0, abs_sum = 0;
        for (int i = 0; i < 5; ++i) {
          const double e = o.predictors[i].esize;
          const double g =
              m == design_matrix::within ? e : e * std::sqrt(pq) / std::sqrt(1 + e * e * pq);
          rw += pt.weights[i] * o.predictors[i].validity;
          gw += pt.weights[i] * g;
          abs_sum += std::abs(pt.weights[i]);
          for (int j = 0; j < 5; ++j)
            rr += pt.weights[i] * o.correlations[i][j] * pt.weights[j];
          if (wr == design_weights::nonnegative) {
            EXPECT_GE(pt.weights[i], 0.0);
          }
        }
        const double s = gw / std::sqrt(rr);
        const double esize = m == design_matrix::within ? s : s / std::sqrt(pq * (1 - s * s));
        EXPECT_NEAR(pt.validity, rw / std::sqrt(rr), 1e-14);
        EXPECT_NEAR(pt.esize, esize, 1e-13);
        EXPECT_NEAR(abs_sum, 1.0, 1e-15);
        problem single{200, 20, pt.esize, 0.15};
        solve_options so;
        so.method = ai_method::direct;
        const figures f = solve_figures(single, so);
        for (const std::string &rule : flagging_rules())
          EXPECT_EQ(rule_probability(pt.f.adverse_impact, rule),
                    rule_probability(f.adverse_impact, rule));
        EXPECT_EQ(pt.f.summary.p_undefined, f.summary.p_undefined);
        EXPECT_EQ(pt.f.summary.p_above, f.summary.p_above);
      }
      // Equally spaced in esize; validity rises as esize falls.
      for (std::size_t j = 1; j < r.front.size(); ++j) {
        EXPECT_NEAR(r.front[j].esize - r.front[j - 1].esize,
                    (r.front.back().esize - r.front.front().esize) / 6, 1e-12);
        EXPECT_GT(r.front[j].validity, r.front[j - 1].validity);
      }
      if (wr == design_weights::free) {
        EXPECT_NEAR(r.front.back().validity, r.compared[1].validity, 1e-14);
      }
    }
}

// The bisection of --max-risk needs every rule's probability to fall as the
// composite's esize rises: checked on a grid, for binomial and known pools.
TEST(Design, EveryRuleFallsAsEsizeRises) {
  const struct {
    problem p;
    int minority;
  } selections[] = {{{200, 20, 0, 0.15}, -1}, {{60, 6, 0, 0.3}, 18}, {{1000, 300, 0, 0.4}, -1}};
  for (const auto &s : selections) {
    solve_options so;
    so.method = ai_method::direct;
    so.minority = s.minority;
    std::vector<double> last(flagging_rules().size(), 2.0);
    for (double e = -2.0; e <= 1.0; e += 0.05) {
      problem p = s.p;
      p.esize = e;
      const figures f = solve_figures(p, so);
      for (std::size_t k = 0; k < last.size(); ++k) {
        const double now = rule_probability(f.adverse_impact, flagging_rules()[k]);
        EXPECT_LE(now, last[k] + 1e-15) << flagging_rules()[k] << " at esize " << e;
        last[k] = now;
      }
    }
  }
}

TEST(Design, MaxRiskAndMinImpactRatioChooseOnTheFront) {
  design_options o = dahlke_sackett();
  o.points = 11;
  const struct {
    std::optional<double> risk, ratio;
    bool found;
  } table[] = {{0.5, {}, true}, {0.95, {}, true}, {0.1, {}, false},
               {{}, 0.8, true}, {{}, 0.2, true},  {{}, 1.5, false}};
  for (const auto &t : table) {
    o.max_risk = t.risk;
    o.min_impact_ratio = t.ratio;
    const design_result r = solve_design(o);
    ASSERT_EQ(r.chosen.has_value(), t.found) << r.chosen_reason;
    if (!t.found) {
      EXPECT_TRUE(r.chosen_reason.starts_with("none")) << r.chosen_reason;
      continue;
    }
    const design_point &c = *r.chosen;
    if (t.risk) {
      EXPECT_LE(rule_p(c, "four_fifths"), *t.risk);
      // the bound is met within a millionth of the front's span: little more risk is left
      if (c.validity < r.front.back().validity) {
        EXPECT_NEAR(rule_p(c, "four_fifths"), *t.risk, 1e-4);
      }
      EXPECT_LE(r.problems, 11 + 20);
    } else {
      EXPECT_GE(c.population_impact_ratio, *t.ratio);
      if (c.validity < r.front.back().validity) {
        EXPECT_NEAR(c.population_impact_ratio, *t.ratio, 1e-9);
      }
    }
    // on the front: no front point is both more valid and within the bound
    for (const design_point &pt : r.front) {
      const bool within =
          t.risk ? rule_p(pt, "four_fifths") <= *t.risk : pt.population_impact_ratio >= *t.ratio;
      if (within) {
        EXPECT_LE(pt.validity, c.validity + 1e-12);
      }
    }
  }
}

TEST(Design, Refusals) {
  const struct {
    void (*change)(design_options &);
    const char *said;
  } table[] = {
      {[](design_options &o) { o.predictors.clear(); }, "no predictors"},
      {[](design_options &o) {
         o.predictors.assign(21, {"x", 0.1, 0});
         for (int i = 0; i < 21; ++i)
           o.predictors[i].name += std::to_string(i);
       },
       "21 predictors; a design takes at most 20"},
      {[](design_options &o) { o.predictors[2].name = "BIO"; }, "predictor 'BIO' appears twice"},
      {[](design_options &o) { o.predictors[1].validity = 1.0; }, "the validity of C, 1, must lie"},
      {[](design_options &o) { o.correlations[0][1] = 0.5; }, "not symmetric: BIO-C is 0.5"},
      {[](design_options &o) { o.correlations[3][3] = 0.9; },
       "the correlation of INT with itself is 0.9"},
      {[](design_options &o) {
         o.correlations[0][2] = o.correlations[2][0] = 0.99;
         o.correlations[2][4] = o.correlations[4][2] = 0.99;
         o.correlations[0][4] = o.correlations[4][0] = 0.5;
       },
       "not positive definite: its smallest eigenvalue is -"},
      {[](design_options &o) { o.correlations.pop_back(); },
       "one row and one column per predictor"},
      {[](design_options &o) {
         for (auto &p : o.predictors)
           p.validity = 0.9;
       },
       "the validities do not fit the correlations"},
      {[](design_options &o) { o.nhire = 0; }, "nhire = 0 must lie between 1 and ntot = 200"},
      {[](design_options &o) { o.selection_ratio = 0.1; }, "exclude each other"},
      {[](design_options &o) { o.prop.reset(); }, "prop or minority is required"},
      {[](design_options &o) { o.points = 0; }, "points = 0 must lie between 1 and 1000"},
      {[](design_options &o) { o.rule = "four_fifth"; }, "rule 'four_fifth' is not one of"},
      {[](design_options &o) { o.max_risk = 1.0; }, "max_risk = 1 must lie strictly between"},
      {[](design_options &o) {
         o.max_risk = 0.5;
         o.min_impact_ratio = 0.8;
       },
       "max_risk and min_impact_ratio exclude each other"},
      {[](design_options &o) {
         o.compare = {{"mine", {1, 2}}};
       },
       "comparison 'mine' has 2 weights for 5"},
      {[](design_options &o) {
         o.compare = {{"zero", {0, 0, 0, 0, 0}}};
       },
       "only zero weights"},
      {[](design_options &o) {
         o.compare = {{"equal", {}}};
       },
       "has no weights"},
  };
  for (const auto &t : table) {
    design_options o = dahlke_sackett();
    t.change(o);
    const auto why = design_refusal(o);
    ASSERT_TRUE(why) << t.said;
    EXPECT_NE(why->find(t.said), std::string::npos) << *why;
  }
}

} // namespace
