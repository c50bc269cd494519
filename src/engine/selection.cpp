// The audit of one observed selection.
#include "engine/selection.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <gsl/gsl_cdf.h>

#include "engine/implied.h"
#include "engine/pool.h"
#include "engine/rules.h"
#include "engine/shortest.h"
#include "model/hypergeometric.h"

namespace {

maybe<double> value(double v) {
  return {v, ""};
}
maybe<double> none(const std::string &why) {
  return {std::nullopt, why};
}

std::string count_is(const char *name, int v) {
  return std::string(name) + " = " + std::to_string(v);
}

// The fewest further minority hires k, Y kept, with 5 (X + k) N0 >= 4 Y N1.
// At X + k = N1 that always holds (Y <= N0), so k never exceeds N1 - X.
maybe<int> hires_to_pass(const selection_counts &c) {
  if (c.minority_applicants == 0 || c.majority_applicants == 0)
    return {std::nullopt, no_comparison(c)};
  const std::int64_t n0 = c.majority_applicants;
  const std::int64_t need =
      4 * static_cast<std::int64_t>(c.majority_hires) * c.minority_applicants -
      5 * static_cast<std::int64_t>(c.minority_hires) * n0;
  return {need <= 0 ? 0 : static_cast<int>((need + 5 * n0 - 1) / (5 * n0)), ""};
}

void add_tests(selection_audit &a, const std::string &why_not) {
  const selection_counts &c = a.counts;
  const int n1 = c.minority_applicants, n0 = c.majority_applicants;
  const int x = c.minority_hires, y = c.majority_hires;
  const int h = x + y;
  const rule_flags f =
      pool_flags(n1, n0, h, a.alpha)[static_cast<std::size_t>(x - std::max(0, h - n0))];
  a.four_fifths = f.four_fifths;
  a.four_fifths_one_person = f.four_fifths_one_person;
  a.z_flags = f.z_test;
  a.fisher_flags = f.fisher_exact;
  a.z_ir_flags = f.z_ir;

  const fisher_p fisher = fisher_test(hypergeometric(n1, n0, h), x);
  a.fisher_p_lower = fisher.lower;
  a.fisher_p_two_sided = fisher.two_sided;
  a.fisher_p_mid = fisher.mid;

  if (!why_not.empty()) {
    a.z = a.z_p_lower = a.z_p_two_sided = a.z_ir = a.z_ir_p_lower = none(why_not);
    a.impact_ratio_lower = a.impact_ratio_upper = none(why_not);
    return;
  }
  const double p = a.pooled_rate, r1 = *a.minority_rate.value, r0 = *a.majority_rate.value;
  const double z = (r1 - r0) / std::sqrt(p * (1.0 - p) * (1.0 / n1 + 1.0 / n0));
  a.z = value(z);
  a.z_p_lower = value(gsl_cdf_ugaussian_P(z));
  a.z_p_two_sided = value(std::min(1.0, 2.0 * gsl_cdf_ugaussian_Q(std::fabs(z))));

  const char *const ln0 = "no minority hire: ln 0";
  const char *const over0 = "no majority hire: the impact ratio is infinite";
  if (x == 0 || y == 0) {
    a.z_ir = a.z_ir_p_lower = a.impact_ratio_lower = a.impact_ratio_upper =
        none(x == 0 ? ln0 : over0);
    return;
  }
  // r1 / r0 = X N0 / (Y N1), as the rules form it.
  const double ln_ir = std::log(static_cast<double>(x) * n0 / (static_cast<double>(y) * n1));
  const double z_ir = ln_ir / std::sqrt((1.0 - p) / (p * n1) + (1.0 - p) / (p * n0));
  a.z_ir = value(z_ir);
  a.z_ir_p_lower = value(gsl_cdf_ugaussian_P(z_ir));
  const double half =
      gsl_cdf_ugaussian_Qinv(a.alpha / 2.0) * std::sqrt((1.0 - r1) / x + (1.0 - r0) / y);
  a.impact_ratio_lower = value(std::exp(ln_ir - half));
  a.impact_ratio_upper = value(std::exp(ln_ir + half));
}

void add_esize(selection_audit &a, const std::string &why_not, const std::atomic<bool> *cancel,
               bool &cancelled) {
  if (!why_not.empty()) {
    a.esize.mle = a.esize.lower = a.esize.upper = a.esize.probit = none(why_not);
    return;
  }
  a.esize = fit_esize({observed_pool_of(a.counts)}, a.alpha, cancel, cancelled);
  const double r1 = *a.minority_rate.value, r0 = *a.majority_rate.value;
  if (r1 > 0.0 && r1 < 1.0 && r0 > 0.0 && r0 < 1.0)
    a.esize.probit = value(gsl_cdf_ugaussian_Pinv(r1) - gsl_cdf_ugaussian_Pinv(r0));
  else
    a.esize.probit = none("a selection rate of 0 or 1 has no probit");
}

} // namespace

std::string no_comparison(const selection_counts &c) {
  const int h = c.minority_hires + c.majority_hires;
  if (c.minority_applicants == 0) return "there are no minority applicants";
  if (c.majority_applicants == 0) return "there are no majority applicants";
  if (h == 0) return "nobody was hired";
  if (h == c.minority_applicants + c.majority_applicants) return "everybody was hired";
  return "";
}

std::optional<std::string> audit_refusal(const selection_counts &c, double alpha) {
  const std::pair<const char *, int> counts[] = {{"minority_applicants", c.minority_applicants},
                                                 {"minority_hires", c.minority_hires},
                                                 {"majority_applicants", c.majority_applicants},
                                                 {"majority_hires", c.majority_hires}};
  for (const auto &[name, v] : counts)
    if (v < 0) return count_is(name, v) + " is negative";
  if (c.minority_hires > c.minority_applicants)
    return count_is("minority_hires", c.minority_hires) + " is more than " +
           count_is("minority_applicants", c.minority_applicants);
  if (c.majority_hires > c.majority_applicants)
    return count_is("majority_hires", c.majority_hires) + " is more than " +
           count_is("majority_applicants", c.majority_applicants);
  const std::int64_t n = static_cast<std::int64_t>(c.minority_applicants) + c.majority_applicants;
  if (n < 1) return std::string("there must be at least one applicant");
  if (n > max_audit_applicants)
    return "minority_applicants + majority_applicants = " + std::to_string(n) +
           " is more than the " + std::to_string(max_audit_applicants) +
           " applicants an audit takes";
  if (!(alpha > 0.0 && alpha < 1.0))
    return "alpha = " + shortest(alpha) + " must lie strictly between 0 and 1";
  if (alpha < min_audit_alpha)
    return "alpha = " + shortest(alpha) + " is below " + shortest(min_audit_alpha) +
           ", the smallest level whose exact interval an audit computes";
  return std::nullopt;
}

selection_audit audit_selection(const selection_counts &c, double alpha,
                                const std::atomic<bool> *cancel, bool &cancelled) {
  const int n1 = c.minority_applicants, n0 = c.majority_applicants;
  const int x = c.minority_hires, y = c.majority_hires;
  selection_audit a;
  a.counts = c;
  a.alpha = alpha;
  const std::string absent = n1 == 0 || n0 == 0 ? no_comparison(c) : "";
  a.minority_rate = n1 > 0 ? value(static_cast<double>(x) / n1) : none(no_comparison(c));
  a.majority_rate = n0 > 0 ? value(static_cast<double>(y) / n0) : none(no_comparison(c));
  a.pooled_rate = static_cast<double>(x + y) / (n1 + n0);
  if (!absent.empty())
    a.impact_ratio = a.ai = none(absent);
  else {
    a.impact_ratio = y > 0 ? value(*a.minority_rate.value / *a.majority_rate.value)
                           : none("no majority hire: the denominator, the majority's rate, "
                                  "is 0");
    a.ai = x > 0 ? value(outcome_ratio(x, y, n1, n0))
                 : none("no minority hire: the denominator, the minority's rate, is 0");
  }
  a.hires_to_pass = hires_to_pass(c);
  a.shortfall = static_cast<double>(n1) * (x + y) / (n1 + n0) - x;
  const std::string why_not = no_comparison(c);
  add_tests(a, why_not);
  add_esize(a, why_not, cancel, cancelled);
  return a;
}

selection_audit audit_selection(const selection_counts &c, double alpha) {
  bool cancelled = false;
  return audit_selection(c, alpha, nullptr, cancelled);
}
