#pragma once

#include <string>

#include "torvan.h"

// A design as a chart: a standalone SVG document. The front as a line of
// validity (up) against the exact probability that the design's rule flags
// the minority (across), its points labelled with their population impact
// ratios; the compared composites as squares with their names; the chosen
// composite ringed; the --max-risk bound as a dashed vertical line. The
// front is the path with id "front".
std::string design_svg(const design_options &opt, const design_result &r);
