#pragma once

#include <string>

#include "torvan.h"

// The page a person reads first (--format summary): the problem and method,
// the moments, the two causes of an undefined ratio, percentiles, the
// four-fifths thresholds both ways and each adverse impact rule's
// probability of flagging the minority group. Every line within 80 columns.
std::string summary_page(const problem &p, const solve_options &opt, const figures &f);
