// The nested method's table against the direct method's.
#include "engine/check.h"

#include <algorithm>
#include <cmath>

method_check compare_cumulative(const std::vector<double> &p, const std::vector<double> &q) {
  // Plain running sums: their drift, a few ulps an entry, is far below the
  // differences looked for (1e-6 and more).
  method_check c{true, 0.0};
  double cp = 0.0;
  double cq = 0.0;
  for (std::size_t i = 0; i < std::min(p.size(), q.size()); ++i) {
    cp += p[i];
    cq += q[i];
    c.max_difference = std::max(c.max_difference, std::abs(cp - cq));
  }
  if (p.size() != q.size() || !std::isfinite(c.max_difference)) c.max_difference = INFINITY;
  return c;
}
