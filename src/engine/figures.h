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
// entry for it (table_entry_of). The rules, P(undefined) and P(AI > 1.25)
// are summed as the pools come in (so the last digit of P(AI > 1.25) may
// differ from the table's, which adds the same terms in ascending ratio).
// Outcomes whose weighted probability is below outcome_cutoff are left out
// and added up in skipped_outcome_weight.
inline constexpr double outcome_cutoff = 1e-30;

figures direct_figures(const problem &p, const solve_options &opt);

// The rules' probabilities, P(undefined) and P(AI > 1.25) alone, each to
// the last bit as direct_figures has them, without keeping the outcomes;
// the moments and percentiles are NaN. What a plan's row needs, at a
// fraction of the time and memory.
figures direct_rule_figures(const problem &p, const solve_options &opt);

// The same by either method: the nested method's figures all come from its
// table (solve_figures).
figures solve_rule_figures(const problem &p, const solve_options &opt);
