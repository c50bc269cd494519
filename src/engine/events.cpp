// Several observed selections: each audited, then together.
#include "engine/events.h"

#include <cmath>

#include <gsl/gsl_cdf.h>

#include "engine/implied.h"
#include "engine/selection.h"

namespace {

maybe<double> value(double v) {
  return {v, ""};
}
maybe<double> none(const std::string &why) {
  return {std::nullopt, why};
}

} // namespace

mantel_haenszel mantel_haenszel_of(const std::vector<selection_counts> &tables, double alpha) {
  // R, S: the odds ratio's numerator and denominator; PR, PSQR, QS the
  // weighted sums of the variance of ln R / S.
  double r = 0.0, s = 0.0, pr = 0.0, psqr = 0.0, qs = 0.0, delta = 0.0, var = 0.0;
  for (const selection_counts &t : tables) {
    const double a = t.minority_hires, b = t.minority_applicants - t.minority_hires;
    const double c = t.majority_hires, d = t.majority_applicants - t.majority_hires;
    const double n = a + b + c + d, n1 = a + b, n0 = c + d, h = a + c;
    const double ri = a * d / n, si = b * c / n, pi = (a + d) / n, qi = (b + c) / n;
    r += ri;
    s += si;
    pr += pi * ri;
    psqr += pi * si + qi * ri;
    qs += qi * si;
    delta += a - n1 * h / n;
    if (n > 1.0) var += n1 * n0 * h * (n - h) / (n * n * (n - 1.0));
  }
  mantel_haenszel m;
  const char *const no_denominator =
      "in every event either every minority applicant or no majority applicant was hired: "
      "the ratio's denominator is 0";
  if (s > 0.0)
    m.odds_ratio = value(r / s);
  else
    m.odds_ratio = none(no_denominator);
  if (s > 0.0 && r > 0.0) {
    const double se = std::sqrt(pr / (2.0 * r * r) + psqr / (2.0 * r * s) + qs / (2.0 * s * s));
    const double half = gsl_cdf_ugaussian_Qinv(alpha / 2.0) * se;
    m.odds_ratio_lower = value(r / s * std::exp(-half));
    m.odds_ratio_upper = value(r / s * std::exp(half));
  } else {
    m.odds_ratio_lower = m.odds_ratio_upper =
        none(s > 0.0 ? "the odds ratio is 0: no interval on the log scale" : no_denominator);
  }
  if (var > 0.0) {
    const double z = delta / std::sqrt(var);
    m.z = value(z);
    m.statistic = value(z * z);
    m.p_two_sided = value(gsl_cdf_chisq_Q(z * z, 1.0));
    m.p_lower = value(gsl_cdf_ugaussian_P(z));
  } else {
    m.statistic = m.p_two_sided = m.z = m.p_lower =
        none("no event compares the groups: in each, nobody or everybody was hired, or a "
             "group is absent");
  }
  return m;
}

std::optional<std::string> events_refusal(const std::vector<selection_event> &events,
                                          double alpha) {
  if (events.empty()) return std::string("there are no events to audit");
  for (std::size_t i = 0; i < events.size(); ++i)
    if (const auto why = audit_refusal(events[i].counts, alpha))
      return "event " + std::to_string(i + 1) +
             (events[i].name.empty() ? "" : " (" + events[i].name + ")") + ": " + *why;
  return std::nullopt;
}

events_audit audit_events(const std::vector<selection_event> &events, double alpha,
                          const std::atomic<bool> *cancel) {
  events_audit r;
  r.alpha = alpha;
  r.events = events;
  std::vector<selection_counts> tables;
  std::vector<observed_pool> pools;
  for (const selection_event &e : events) {
    r.audits.push_back(audit_selection(e.counts, alpha, cancel, r.cancelled));
    if (r.cancelled) return r;
    tables.push_back(e.counts);
    if (informative(e.counts)) pools.push_back(observed_pool_of(e.counts));
  }
  r.mh = mantel_haenszel_of(tables, alpha);
  r.events_informative = static_cast<int>(pools.size());
  if (pools.empty()) {
    const maybe<double> no = none("no event can tell esize: in each, nobody or everybody was "
                                  "hired, or a group is absent");
    r.common.mle = r.common.lower = r.common.upper = no;
  } else {
    r.common = fit_esize(pools, alpha, cancel, r.cancelled);
  }
  r.common.probit = none("the probit is a figure of one selection");
  return r;
}
