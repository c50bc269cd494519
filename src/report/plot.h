#pragma once

#include <string>
#include <vector>

#include "torvan.h"

// The distribution as a chart: a standalone SVG document.
//
// Spikes give the probability of each defined AI value (left axis); a step
// line gives the cumulative probability P(AI <= x) over all outcomes (right
// axis, 0..1), so it ends at the probability that the ratio is defined, not
// at 1. The four-fifths thresholds 0.8 and 1.25 are dashed vertical lines; the
// probability of an undefined ratio is stated in text.
//
// The AI axis is logarithmic when the positive values span more than two
// decades (largest / smallest > 100), linear otherwise. On a log axis a value
// of 0 gets its own position at the left edge, labelled "0" and set off from
// the decades by an axis break.
//
// Values that land in the same pixel column are merged: the spike drawn is
// the largest probability among them (so spike heights stay probabilities of
// single values whatever the table size) and the step line moves once per
// column. Spikes under half a pixel are not drawn. The document therefore
// grows with the chart's width, not with the table.
struct plot_input {
  int ntot = 0, nhire = 0;
  double esize = 0, prop = 0;
  std::vector<double> ai;   // defined AI values, ascending, all >= 0
  std::vector<double> prob; // probability of each; negatives are drawn as 0
  double p_undefined = 0;   // probability that the ratio is undefined
};

// Numbers are written locale-independently; text is escaped for XML. ai and
// prob of different lengths is a programming error: std::invalid_argument.
std::string distribution_svg(const plot_input &in);

// The chart's input for a computed problem: its defined values and their
// probabilities, and P(undefined).
plot_input plot_of(const problem &p, const solution &s);
