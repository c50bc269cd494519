#pragma once

#include <cmath>

// Neumaier's compensated sum (A. Neumaier, "Rundungsfehleranalyse einiger
// Verfahren zur Summation endlicher Summen", ZAMM 54, 1974): the rounding
// error of every addition is recovered exactly and carried beside the sum, so
// that n terms add up to within about one rounding of their exact sum instead
// of n roundings. Relies on strict IEEE evaluation: no fast-math and no
// contraction, which the build pins.

// sum + carry += x.
inline void add_compensated(double &sum, double &carry, double x) {
  const double t = sum + x;
  carry += std::fabs(sum) >= std::fabs(x) ? (sum - t) + x : (x - t) + sum;
  sum = t;
}

struct compensated_sum {
  double sum = 0.0;
  double carry = 0.0;

  void add(double x) { add_compensated(sum, carry, x); }
  double value() const { return sum + carry; }
};
