#pragma once

#include <vector>

#include "torvan.h"

// vai, pvai: a candidate table (ascending, UNDEF_AI last) and its probabilities;
// method: the one that computed them, which decides how sums are taken (running_total).

// Expected value, variance and standard deviation of the AI ratio given that
// it is defined; NaN when no probability lands on a defined value.
struct moments {
  double mean;
  double var;
  double sd;
};
moments ai_moments(const std::vector<double> &vai, const std::vector<double> &pvai,
                   ai_method method);

// Whether a defined ratio counts towards P(AI > 1.25): beyond it by more than
// 1e-9 (nearer counts as equal).
bool beyond_five_fourths(double ai);

// The moments, threshold probabilities and percentiles together.
ai_summary summarize(const std::vector<double> &vai, const std::vector<double> &pvai,
                     ai_method method);
