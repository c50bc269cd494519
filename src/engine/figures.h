#pragma once

#include <vector>

#include "torvan.h"

// The figures of a problem by the direct method without the candidate table:
// each pool's outcomes, as the pools come in, go straight into the rules'
// tally and P(undefined), and the defined ones into a list of (ratio,
// probability) that is sorted once at the end. Memory grows with the
// outcomes kept, time with the pools and outcomes that matter.
//
// The figures are those of the table, summarized by the same code from the
// outcomes with equal ratios merged; each percentile is then the table's
// entry for it (table_entry_of).
// Outcomes whose weighted probability is below outcome_cutoff are left out
// and added up in skipped_outcome_weight.
inline constexpr double outcome_cutoff = 1e-30;

figures direct_figures(const problem &p, const solve_options &opt);
