#pragma once

#include <string>
#include <vector>

#include "torvan.h"

// The single problem of one size of a plan (nhire and the known pool from the
// plan's rules) and the options it is computed with; rounding is std::lround,
// halves away from zero.
struct plan_point {
  problem p;
  solve_options opt;
};
plan_point plan_point_at(const plan_options &opt, int ntot);

// The work of the first k rows of the range, entry k (entry 0 is 0), in units
// of a small row's: a row of ntot applicants takes about 1 + (ntot / 2000)^1.5
// of them (by the direct method on one core, 0.02 s at ntot = 1000, 1.4 s at
// 32 000, 7 s at 100 000). Rows are done in order, so the share of this total
// done is the share of the time spent, far better than the share of rows
// when the sizes span decades.
std::vector<double> cumulative_work(const ntot_range &range);

// The found sizes of each of `rules`, read off the rows.
std::vector<plan_found> found_sizes(const std::vector<plan_row> &rows,
                                    const std::vector<std::string> &rules, double target);
