#pragma once

#include <string>

#include "torvan.h"

// A plan as a chart: a standalone SVG document. One line per rule, its
// probability (at esize 0 its false-positive rate) against ntot, with the
// target as a dashed horizontal line. The ntot axis is logarithmic when the
// range spans more than two decades (last / first > 100), linear otherwise.
// A row not computed breaks its lines: no point is drawn where there is no
// figure. Each line is one path, id "rule-NAME".
std::string plan_svg(const plan_options &opt, const plan_result &r);
