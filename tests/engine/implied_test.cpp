// The implied effect size against what defines it: the direct method's
// outcome probabilities (the likelihood, the tails), a closed form for two
// applicants, the symmetry of swapping the groups, the hypergeometric tail
// at esize 0, the large-sample probit, and for several events an
// untrimmed convolution of their outcome distributions.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <numeric>
#include <vector>

#include <gsl/gsl_cdf.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_integration.h>
#include <gsl/gsl_randist.h>
#include <gsl/gsl_sf_gamma.h>

#include "engine/direct.h"
#include "torvan.h"

namespace {

struct tails {
  double at_most, at_least, likelihood;
};

// P(S' <= s), P(S' >= s) and the product of the pools' P(X' = x), S the
// total minority hires of the pools, from their full outcome distributions.
tails tails_of(const std::vector<selection_counts> &pools, double e) {
  std::vector<double> total{1.0};
  int lo = 0, s = 0;
  double likelihood = 1.0;
  for (const selection_counts &c : pools) {
    const int h = c.minority_hires + c.majority_hires;
    const direct_result r = direct_pool(c.minority_applicants, c.majority_applicants, h, e);
    likelihood *= r.prob[static_cast<std::size_t>(c.minority_hires - r.xlo)];
    std::vector<double> next(total.size() + r.prob.size() - 1, 0.0);
    for (std::size_t i = 0; i < total.size(); ++i)
      for (std::size_t j = 0; j < r.prob.size(); ++j)
        next[i + j] += total[i] * r.prob[j];
    total = next;
    lo += r.xlo;
    s += c.minority_hires;
  }
  const auto k = static_cast<std::ptrdiff_t>(s - lo);
  return {std::accumulate(total.begin(), total.begin() + k + 1, 0.0),
          std::accumulate(total.begin() + k, total.end(), 0.0), likelihood};
}

void expect_solves(const std::vector<selection_counts> &pools, const implied_esize &e, double alpha,
                   const char *what) {
  SCOPED_TRACE(what);
  ASSERT_TRUE(e.mle.value && e.lower.value && e.upper.value) << e.mle.why << e.lower.why;
  EXPECT_NEAR(tails_of(pools, *e.lower.value).at_least, alpha / 2, 1e-9);
  EXPECT_NEAR(tails_of(pools, *e.upper.value).at_most, alpha / 2, 1e-9);
  EXPECT_LT(*e.lower.value, *e.upper.value);
  const double at = tails_of(pools, *e.mle.value).likelihood;
  for (const double d : {-1e-3, 1e-3})
    EXPECT_GE(at, tails_of(pools, *e.mle.value + d).likelihood) << d;
}

const selection_counts tables[] = {
    {50, 5, 150, 30},     {20, 3, 2, 1},          {2, 1, 9998, 1},  {9990, 9000, 10, 5},
    {100, 1, 9900, 4999}, {3000, 200, 7000, 800}, {40, 20, 60, 10}, {7, 2, 5, 3}};

TEST(ImpliedEsize, MleIsAMaximumAndEachEndSolvesItsEquation) {
  for (const selection_counts &c : tables)
    for (const double alpha : {0.05, 0.01}) {
      const selection_audit a = audit_selection(c, alpha);
      expect_solves({c}, a.esize, alpha,
                    (std::to_string(c.minority_applicants) + " " +
                     std::to_string(c.minority_hires) + " " +
                     std::to_string(c.majority_applicants) + " " + std::to_string(c.majority_hires))
                        .c_str());
    }
}

// One minority and one majority applicant, one hired: the minority applicant
// is hired with probability Phi(esize / sqrt 2), so with none hired the upper
// end is sqrt 2 z and the other two have no bound.
TEST(ImpliedEsize, TwoApplicantsInClosedForm) {
  for (const double alpha : {0.05, 0.2}) {
    const double z = gsl_cdf_ugaussian_Qinv(alpha / 2);
    const selection_audit none = audit_selection({1, 0, 1, 1}, alpha);
    EXPECT_FALSE(none.esize.mle.value);
    EXPECT_FALSE(none.esize.lower.value);
    ASSERT_TRUE(none.esize.upper.value);
    EXPECT_NEAR(*none.esize.upper.value, std::sqrt(2.0) * z, 1e-8);
    const selection_audit one = audit_selection({1, 1, 1, 0}, alpha);
    EXPECT_NEAR(*one.esize.lower.value, -std::sqrt(2.0) * z, 1e-8);
    EXPECT_FALSE(one.esize.upper.value);
    EXPECT_NE(one.esize.upper.why.find("unbounded"), std::string::npos);
  }
}

// Scores shifted by -esize and the groups' names swapped give the same
// selection: the esize of the swapped counts is minus this one.
TEST(ImpliedEsize, SwappingTheGroupsNegatesIt) {
  for (const selection_counts &c : tables) {
    const implied_esize e = audit_selection(c).esize;
    const implied_esize s = audit_selection({c.majority_applicants, c.majority_hires,
                                             c.minority_applicants, c.minority_hires})
                                .esize;
    EXPECT_NEAR(*s.mle.value, -*e.mle.value, 1e-4 * (*e.upper.value - *e.lower.value));
    EXPECT_NEAR(*s.lower.value, -*e.upper.value, 1e-7);
    EXPECT_NEAR(*s.upper.value, -*e.lower.value, 1e-7);
  }
}

TEST(ImpliedEsize, TailsAreMonotoneAndAtZeroFishersLowerTail) {
  for (const selection_counts &c : tables) {
    if (c.minority_applicants + c.majority_applicants > 1000) continue;
    double before_most = 2.0, before_least = -1.0;
    for (double e = -3.0; e <= 3.0; e += 0.25) {
      const tails t = tails_of({c}, e);
      EXPECT_LE(t.at_most, before_most * (1 + 1e-12)) << e;
      EXPECT_GE(t.at_least, before_least * (1 - 1e-12)) << e;
      before_most = t.at_most;
      before_least = t.at_least;
    }
    EXPECT_NEAR(tails_of({c}, 0.0).at_most, audit_selection(c).fisher_p_lower,
                1e-11 * audit_selection(c).fisher_p_lower);
  }
}

// The same rates in ever larger pools: the exact mle approaches the probit
// of the rates, the error falling like 1 / N.
TEST(ImpliedEsize, ApproachesTheProbitForLargeCounts) {
  double before = 1.0;
  for (const int k : {1, 4, 16, 64}) {
    const implied_esize e = audit_selection({25 * k, 5 * k, 75 * k, 30 * k}).esize;
    const double off = std::fabs(*e.mle.value - *e.probit.value);
    EXPECT_LT(off, 0.4 * before) << k;
    EXPECT_LT(off, 1e-3 / k) << k;
    before = off;
  }
}

TEST(CommonEsize, SolvesTheTotalsEquationsAndMaximizesTheLikelihood) {
  const std::vector<selection_counts> pools = {
      {50, 5, 150, 30}, {40, 6, 160, 35}, {12, 0, 30, 9}, {25, 25, 5, 5}};
  std::vector<selection_event> events;
  for (const selection_counts &c : pools)
    events.push_back({"", c});
  events.push_back({"nobody hired", {10, 0, 10, 0}});
  const events_audit e = audit_events(events, 0.05);
  EXPECT_EQ(e.events_informative, 3); // everybody hired in the fourth, nobody in the fifth
  expect_solves({pools[0], pools[1], pools[2]}, e.common, 0.05, "events");
  EXPECT_FALSE(e.common.probit.value);
  ASSERT_EQ(e.audits.size(), events.size());
  // An event's own audit is the one of its counts alone.
  EXPECT_EQ(*e.audits[1].esize.mle.value, *audit_selection(pools[1]).esize.mle.value);
  // One event alone: the common esize is its own.
  const events_audit one = audit_events({{"only", pools[0]}}, 0.05);
  EXPECT_EQ(*one.common.lower.value, *one.audits[0].esize.lower.value);
}

TEST(CommonEsize, BoundsOnlyWhenNoEventLeavesRoom) {
  // Every event at its fewest minority hires: no mle and no lower end.
  const events_audit low = audit_events({{"a", {10, 0, 10, 4}}, {"b", {5, 0, 20, 3}}}, 0.05);
  EXPECT_FALSE(low.common.mle.value);
  EXPECT_FALSE(low.common.lower.value);
  EXPECT_TRUE(low.common.upper.value);
  // One at its fewest, one at its most: the likelihood has a maximum.
  const events_audit both = audit_events({{"a", {10, 0, 10, 4}}, {"b", {5, 5, 20, 0}}}, 0.05);
  EXPECT_TRUE(both.common.mle.value && both.common.lower.value && both.common.upper.value);
  const events_audit none = audit_events({{"a", {10, 0, 10, 0}}}, 0.05);
  EXPECT_EQ(none.events_informative, 0);
  EXPECT_FALSE(none.common.mle.value);
  EXPECT_NE(none.common.mle.why.find("no event"), std::string::npos);
}

TEST(CommonEsize, ACancelledAuditSaysSo) {
  const std::atomic<bool> stop{true};
  const events_audit e = audit_events({{"a", {50, 5, 150, 30}}}, 0.05, &stop);
  EXPECT_TRUE(e.cancelled);
  EXPECT_NE(events_json_text(e, -1).find("\"cancelled\":true"), std::string::npos);
}

// The maximum of one pool's likelihood as the root of its score, from a
// second formulation: P(X = x) is the integral over the lowest hired score t
// of G (x r1 + (h - x) r0), G = b(x; n1, S1) b(h - x; n0, S0), and its
// derivative in esize is that of G (x r1 - (n1 - x) f1 / F1) (x r1 +
// (h - x) r0) + G x r1 (u - r1), u = t - esize, the minority's standardized
// score. Integrated by GSL's adaptive QAGS, not the direct method's rule, and
// the root bracketed by bisection to 1e-13.
struct score_integrand {
  int n1, x, n0, y;
  double e;
  bool derivative;
};

double score_at(double t, void *params) {
  const auto &p = *static_cast<const score_integrand *>(params);
  const int h = p.x + p.y;
  const double u = t - p.e;
  const double s1 = gsl_cdf_ugaussian_Q(u), f1 = gsl_cdf_ugaussian_P(u);
  const double s0 = gsl_cdf_ugaussian_Q(t), f0 = gsl_cdf_ugaussian_P(t);
  if (s1 <= 0.0 || f1 <= 0.0 || s0 <= 0.0 || f0 <= 0.0) return 0.0;
  const double d1 = gsl_ran_ugaussian_pdf(u), d0 = gsl_ran_ugaussian_pdf(t);
  const double r1 = d1 / s1, r0 = d0 / s0;
  const double ln_g = gsl_sf_lnchoose(p.n1, p.x) + p.x * std::log(s1) +
                      (p.n1 - p.x) * std::log(f1) + gsl_sf_lnchoose(p.n0, h - p.x) +
                      (h - p.x) * std::log(s0) + (p.n0 - h + p.x) * std::log(f0);
  const double g = std::exp(ln_g), lowest = p.x * r1 + (h - p.x) * r0;
  if (!p.derivative) return g * lowest;
  return g * ((p.x * r1 - (p.n1 - p.x) * d1 / f1) * lowest + p.x * r1 * (u - r1));
}

struct estimate {
  double v, err;
};

estimate integral(score_integrand p) {
  gsl_integration_workspace *w = gsl_integration_workspace_alloc(2000);
  gsl_function f{&score_at, &p};
  double v = 0.0, err = 0.0;
  // QAGS may say that roundoff keeps it from 1e-12: its answer is then the
  // best it reached, and err says how good.
  const gsl_error_handler_t *before = gsl_set_error_handler_off();
  gsl_integration_qags(&f, std::min(0.0, p.e) - 12.0, std::max(0.0, p.e) + 12.0, 0.0, 1e-12, 2000,
                       w, &v, &err);
  gsl_set_error_handler(before);
  gsl_integration_workspace_free(w);
  return {v, err};
}

// The score, d ln P(X = x) / d esize; its error far below what moves the
// root by 1e-10.
double score(const selection_counts &c, double e) {
  const int n1 = c.minority_applicants, x = c.minority_hires;
  const int n0 = c.majority_applicants, y = c.majority_hires;
  const estimate d = integral({n1, x, n0, y, e, true}), p = integral({n1, x, n0, y, e, false});
  EXPECT_LT(d.err, 1e-11 * p.v);
  return d.v / p.v;
}

TEST(ImpliedEsize, MleIsTheRootOfTheScoreToOneInOneHundredMillion) {
  const struct {
    selection_counts c;
    const char *printed; // on the page, four decimals
  } cases[] = {{{12, 3, 12, 9}, "-1.3365"},
               {{100, 2, 900, 200}, "-1.2895"},
               {{29, 8, 7, 1}, "0.4719"},
               {{50, 5, 150, 30}, nullptr},
               {{7, 2, 5, 3}, nullptr}};
  for (const auto &[c, printed] : cases) {
    const selection_audit a = audit_selection(c);
    ASSERT_TRUE(a.esize.mle.value);
    const double mle = *a.esize.mle.value;
    double lo = mle - 1e-3, hi = mle + 1e-3;
    ASSERT_GT(score(c, lo), 0.0) << c.minority_applicants;
    ASSERT_LT(score(c, hi), 0.0) << c.minority_applicants;
    while (hi - lo > 1e-13)
      (score(c, 0.5 * (lo + hi)) > 0.0 ? lo : hi) = 0.5 * (lo + hi);
    EXPECT_NEAR(mle, 0.5 * (lo + hi), 1e-8) << c.minority_applicants;
    if (!printed) continue;
    const std::string page = audit_page_text(a);
    const std::size_t at = page.find("maximum likelihood");
    ASSERT_NE(at, std::string::npos);
    const std::string line = page.substr(at, page.find('\n', at) - at);
    EXPECT_EQ(line.substr(line.rfind(' ') + 1), printed);
  }
}

// P(X' <= x) or P(X' >= x) of one pool at esize e, outcome by outcome from
// QAGS, each to 1e-12 relative however small.
double qags_tail(const selection_counts &c, double e, bool at_most) {
  const int n1 = c.minority_applicants, n0 = c.majority_applicants;
  const int h = c.minority_hires + c.majority_hires;
  const int from = at_most ? std::max(0, h - n0) : c.minority_hires;
  const int to = at_most ? c.minority_hires : std::min(h, n1);
  double sum = 0.0;
  for (int k = from; k <= to; ++k)
    sum += integral({n1, k, n0, h - k, e, false}).v;
  return sum;
}

// Down to the smallest alpha an audit takes, each end's tail is alpha / 2;
// below it the audit is refused, never answered with a clipped interval.
TEST(ImpliedEsize, EndsSolveTheirEquationsForSmallAlphaAndSmallerIsRefused) {
  for (const selection_counts &c :
       {selection_counts{50, 5, 150, 30}, {12, 3, 12, 9}, {100, 2, 900, 200}, {29, 8, 7, 1}})
    for (const double alpha : {1e-3, 1e-6, 1e-9, min_audit_alpha}) {
      ASSERT_FALSE(audit_refusal(c, alpha));
      const implied_esize e = audit_selection(c, alpha).esize;
      ASSERT_TRUE(e.lower.value && e.upper.value) << alpha;
      EXPECT_NEAR(qags_tail(c, *e.lower.value, false), alpha / 2, 1e-6 * alpha / 2)
          << c.minority_applicants << " " << alpha;
      EXPECT_NEAR(qags_tail(c, *e.upper.value, true), alpha / 2, 1e-6 * alpha / 2)
          << c.minority_applicants << " " << alpha;
    }
  for (const double alpha : {0.99 * min_audit_alpha, 1e-30, 1e-40, 4.9e-324}) {
    const auto why = audit_refusal({50, 5, 150, 30}, alpha);
    ASSERT_TRUE(why) << alpha;
    EXPECT_NE(why->find("is below 1e-12, the smallest level whose exact interval an audit "
                        "computes"),
              std::string::npos)
        << *why;
  }
}

} // namespace
