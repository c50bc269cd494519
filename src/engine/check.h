#pragma once

#include <vector>

#include "torvan.h"

// Two tables of the same ratios compared: the largest difference between
// their cumulative probabilities, entry by entry. Both have one entry per
// ratio, in the same order.
method_check compare_cumulative(const std::vector<double> &p, const std::vector<double> &q);
