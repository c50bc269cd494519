#pragma once

#include <vector>

#include "torvan.h"

// Adverse impact rules over the exact distribution of hiring outcomes.
//
// A pool has n1 minority and n0 majority applicants, h of them hired; an
// outcome is the number x of minority hires, x = max(0, h - n0) ... min(h, n1),
// with y = h - x majority hires, rates r1 = x / n1 and r0 = y / n0, and pooled
// rate p = h / (n1 + n0). Every rule flags adverse impact against the minority
// only, at significance level alpha (two-sided critical value
// z = Phi^-1(1 - alpha / 2)):
//   four_fifths             r1 < 0.8 r0, decided in integers: 5 x n0 < 4 y n1
//   four_fifths_one_person  four_fifths, and still 5 (x + 1) n0 < 4 y n1 with one
//                           more minority hire (the majority's hires unchanged)
//   z_test                  (r0 - r1) / sqrt(p (1 - p) (1/n1 + 1/n0)) >= z
//   fisher_exact            lower hypergeometric tail P(X <= x) <= alpha / 2
//   z_ir                    impact-ratio Z (Morris & Lobsenz, 2000):
//                           ln(r1 / r0) / sqrt((1 - p)/(p n1) + (1 - p)/(p n0)) <= -z;
//                           x = 0 flags (r1 / r0 = 0), y = 0 does not
// With h = 0, h = n1 + n0, n1 = 0 or n0 = 0 the groups cannot be compared and
// no rule flags. Every rule is monotone in x: if x flags, so does every smaller x.
struct rule_flags {
  bool four_fifths, four_fifths_one_person, z_test, fisher_exact, z_ir;
};

// Flags of every outcome x = xlo ... xhi of one pool, in ascending x (all
// false when there is no comparison). Needs n1, n0 >= 0, 0 <= h <= n1 + n0 and
// 0 < alpha < 1.
std::vector<rule_flags> pool_flags(int n1, int n0, int h, double alpha);

// The probabilities over the whole (mixed) distribution of outcomes are an
// `audit` (torvan.h).

// Accumulates the audit pool by pool for ntot applicants and nhire hires.
// Sums are taken in the order pools are added; callers add them in ascending
// n1 so that the result does not depend on how the pools were computed. For
// the direct method they are compensated (millions of outcomes would drift
// by as many roundings); the nested method's stay plain, as they always were.
class audit_tally {
public:
  // Needs 0 <= nhire <= ntot, 0 < alpha < 1.
  audit_tally(int ntot, int nhire, double alpha, ai_method method = ai_method::nested);

  // prob[k] = P(X = xlo + k | pool with n1 minority applicants), for every
  // outcome from xlo = max(0, nhire - n0) to min(nhire, n1), or for a run of
  // them within that range outside which the probabilities are negligible.
  // weight = the pool's probability (1 for a known pool).
  void add_pool(int n1, double weight, int xlo, const std::vector<double> &prob);

  audit result() const;

private:
  void add(double audit::*field, double q);

  int ntot_;
  int nhire_;
  double z_;
  bool compensated_;
  audit a_;
  audit carry_; // the compensated sums' carries, field by field
};

// The rules that flag, by their JSON names, and each one's probability in an
// audit; in the order of the JSON documents.
struct rule_field {
  const char *name;
  double audit::*field;
};
inline constexpr rule_field rule_fields[] = {
    {"four_fifths", &audit::four_fifths},
    {"four_fifths_one_person", &audit::four_fifths_one_person},
    {"z_test", &audit::z_test},
    {"fisher_exact", &audit::fisher_exact},
    {"z_ir", &audit::z_ir},
    {"four_fifths_and_z", &audit::four_fifths_and_z}};
