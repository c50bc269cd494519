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

// The found sizes of each of `rules`, read off the rows.
std::vector<plan_found> found_sizes(const std::vector<plan_row> &rows,
                                    const std::vector<std::string> &rules, double target);
