#pragma once

#include <vector>

// What a researcher reads off a distribution beyond the moments. The ratio is
// majority selection rate over minority selection rate, so a value above 1.25
// means the minority's rate is below four fifths of the majority's, and a
// value below 0.8 the reverse. A value within 1e-9 of a threshold counts as
// equal to it, not beyond it.
struct ai_summary {
  double p_undefined; // probability that the ratio is undefined
  double p_above;     // P(AI > 1.25)
  double p_below;     // P(AI < 0.8)
  double p5;          // percentiles of the ratio given that it is defined;
  double p50;         // NaN when no probability lands on a defined value
  double p95;
};

// vai, pvai: a candidate table (ascending, UNDEF_AI last) and its probabilities.
ai_summary summarize(const std::vector<double> &vai, const std::vector<double> &pvai);
