// Adverse impact rules, outcome by outcome, and their probabilities over the
// mixed distribution of outcomes.
#include "engine/rules.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <numeric>
#include <stdexcept>
#include <string>

#include <gsl/gsl_cdf.h>
#include <gsl/gsl_sf_gamma.h>

#include "model/compensated.h"

namespace {

// The hypergeometric lower tail is a sum of exponentials of differences of
// ln C(n, k) of order ntot, each off by some 1e-13 relative. A tail within this
// relative distance of alpha / 2 counts as equal to it, and so flags: an exact
// tie decides the same way whichever way the terms happened to round.
constexpr double tail_reach = 1e-9;

// Phi^-1(1 - alpha / 2), taken from the upper tail so that a small alpha is
// not first rounded away in 1 - alpha / 2.
double critical_z(double alpha) {
  return gsl_cdf_ugaussian_Qinv(alpha / 2.0);
}

bool comparable(int n1, int n0, int h) {
  return n1 > 0 && n0 > 0 && h > 0 && h < n1 + n0;
}

// R(x) = P(X = x + 1) / P(X = x) of the hypergeometric distribution.
double term_ratio(int n1, int n0, int h, int x) {
  return static_cast<double>(n1 - x) * (h - x) / (static_cast<double>(x + 1) * (n0 - h + x + 1));
}

// P(X < xa), from xa - 1 downward, as far as it can still matter: until it
// passes `limit` (then P(X <= x) does for every x >= xa too), or until the
// terms, falling faster than geometrically below the mode, no longer change
// it. ln_term = ln P(X = xa). From the lowest outcome it is 0.
double tail_below(int n1, int n0, int h, int xa, double ln_term, double limit) {
  const int xlo = std::max(0, h - n0);
  double tail = 0.0;
  for (int x = xa - 1; x >= xlo && tail <= limit; --x) {
    const double r = term_ratio(n1, n0, h, x);
    ln_term -= std::log(r);
    const double term = std::exp(ln_term);
    if (r > 1.0 && term < 1e-17 * tail) break;
    tail += term;
  }
  return tail;
}

// The flags of the outcomes x = xa ... xb of the pool.
std::vector<rule_flags> flags_of(int n1, int n0, int h, double alpha, double z, int xa, int xb) {
  const int xlo = xa;
  const int xhi = xb;
  std::vector<rule_flags> flags(static_cast<std::size_t>(xhi - xlo) + 1, rule_flags{});
  if (!comparable(n1, n0, h)) return flags;

  const double p = static_cast<double>(h) / (n1 + n0);
  const double z_sd = std::sqrt(p * (1.0 - p) * (1.0 / n1 + 1.0 / n0));
  const double ir_sd = std::sqrt((1.0 - p) / (p * n1) + (1.0 - p) / (p * n0));
  const double tail_limit = alpha / 2.0 * (1.0 + tail_reach);
  // The tail is cumulated once, from the low end where the terms are smallest,
  // each term from the one before by the ratio of consecutive hypergeometric
  // probabilities, in logarithms so that a first term far below the smallest
  // double does not stop the recurrence. Once past the limit the tail stays
  // past it, so the remaining terms are not needed.
  double ln_term =
      gsl_sf_lnchoose(n1, xlo) + gsl_sf_lnchoose(n0, h - xlo) - gsl_sf_lnchoose(n1 + n0, h);
  double tail = tail_below(n1, n0, h, xlo, ln_term, tail_limit);
  for (int x = xlo; x <= xhi; ++x) {
    // 64-bit: x n0 and y n1 reach ntot^2 / 4.
    const std::int64_t xn0 = static_cast<std::int64_t>(x) * n0;
    const std::int64_t yn1 = static_cast<std::int64_t>(h - x) * n1;
    rule_flags &f = flags[static_cast<std::size_t>(x - xlo)];
    f.four_fifths = 5 * xn0 < 4 * yn1;
    f.four_fifths_one_person = f.four_fifths && 5 * (xn0 + n0) < 4 * yn1;
    const double r1 = static_cast<double>(x) / n1;
    const double r0 = static_cast<double>(h - x) / n0;
    f.z_test = (r0 - r1) / z_sd >= z;
    if (tail <= tail_limit) {
      tail += std::exp(ln_term);
      f.fisher_exact = tail <= tail_limit;
      ln_term += std::log(term_ratio(n1, n0, h, x));
    }
    // r1 / r0 = x n0 / (y n1): exactly 1 when the rates are equal.
    const double ratio = static_cast<double>(xn0) / static_cast<double>(yn1);
    f.z_ir = x == 0 || (yn1 > 0 && std::log(ratio) / ir_sd <= -z);
    // Every rule is monotone in x: once none flags, none flags above.
    if (!f.four_fifths && !f.z_test && !f.fisher_exact && !f.z_ir) break;
  }
  return flags;
}

// A pool's probability, summed in outcome order.
double total(const std::vector<double> &prob) {
  return std::accumulate(prob.begin(), prob.end(), 0.0);
}

} // namespace

std::vector<rule_flags> pool_flags(int n1, int n0, int h, double alpha) {
  return flags_of(n1, n0, h, alpha, critical_z(alpha), std::max(0, h - n0), std::min(h, n1));
}

audit_tally::audit_tally(int ntot, int nhire, double alpha, ai_method method)
    : ntot_(ntot), nhire_(nhire), z_(critical_z(alpha)), compensated_(method == ai_method::direct) {
  a_.alpha = alpha;
}

namespace {

constexpr double audit::*sums[] = {
    &audit::no_comparison,          &audit::four_fifths,
    &audit::four_fifths_one_person, &audit::z_test,
    &audit::fisher_exact,           &audit::z_ir,
    &audit::four_fifths_and_z,      &audit::four_fifths_not_z,
    &audit::z_not_four_fifths,      &audit::undefined_no_minority_hired,
    &audit::undefined_group_absent};

} // namespace

void audit_tally::add(double audit::*field, double q) {
  if (compensated_)
    add_compensated(a_.*field, carry_.*field, q);
  else
    a_.*field += q;
}

audit audit_tally::result() const {
  audit out = a_;
  for (const auto field : sums)
    out.*field += carry_.*field;
  return out;
}

void audit_tally::add_pool(int n1, double weight, int xlo, const std::vector<double> &prob) {
  const int n0 = ntot_ - n1;
  if (n1 == 0 || n0 == 0) {
    const double q = weight * total(prob);
    add(&audit::no_comparison, q);
    add(&audit::undefined_group_absent, q);
    return;
  }
  if (xlo == 0) add(&audit::undefined_no_minority_hired, weight * prob[0]);
  if (!comparable(n1, n0, nhire_)) {
    add(&audit::no_comparison, weight * total(prob));
    return;
  }

  const int last = xlo + static_cast<int>(prob.size()) - 1;
  const std::vector<rule_flags> flags = flags_of(n1, n0, nhire_, a_.alpha, z_, xlo, last);
  for (std::size_t k = 0; k < prob.size(); ++k) {
    const rule_flags &f = flags[k];
    const double q = weight * prob[k];
    if (f.four_fifths) add(&audit::four_fifths, q);
    if (f.four_fifths_one_person) add(&audit::four_fifths_one_person, q);
    if (f.z_test) add(&audit::z_test, q);
    if (f.fisher_exact) add(&audit::fisher_exact, q);
    if (f.z_ir) add(&audit::z_ir, q);
    if (f.four_fifths && f.z_test) add(&audit::four_fifths_and_z, q);
    if (f.four_fifths && !f.z_test) add(&audit::four_fifths_not_z, q);
    if (f.z_test && !f.four_fifths) add(&audit::z_not_four_fifths, q);
  }
}

std::vector<std::string> flagging_rules() {
  std::vector<std::string> names(std::size(rule_fields));
  std::transform(std::begin(rule_fields), std::end(rule_fields), names.begin(),
                 [](const rule_field &r) { return r.name; });
  return names;
}

double rule_probability(const audit &a, const std::string &rule) {
  const auto r = std::find_if(std::begin(rule_fields), std::end(rule_fields),
                              [&](const rule_field &f) { return rule == f.name; });
  if (r == std::end(rule_fields)) throw std::invalid_argument("no rule is named '" + rule + "'");
  return a.*r->field;
}
