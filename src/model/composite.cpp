// Point-biserial conversions and the selection rates of an infinite pool.
#include "model/composite.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <gsl/gsl_cdf.h>

double point_biserial(double esize, double p) {
  const double pq = p * (1.0 - p);
  return esize * std::sqrt(pq) / std::sqrt(1.0 + esize * esize * pq);
}

double esize_of_point_biserial(double rho, double p) {
  return rho / std::sqrt(p * (1.0 - p) * (1.0 - rho * rho));
}

population_rates population_selection(double esize, double p, double ratio) {
  if (ratio >= 1.0) return {};
  const auto hired = [&](double c) {
    return p * gsl_cdf_ugaussian_Q(c - esize) + (1.0 - p) * gsl_cdf_ugaussian_Q(c);
  };
  // hired() falls from 1 to 0 as c rises; both tails are exactly 0 or 1 forty
  // standard deviations out. Bisection to adjacent doubles: no tolerance to
  // pick, and at most a few hundred halvings.
  double lo = std::min(0.0, esize) - 40.0, hi = std::max(0.0, esize) + 40.0;
  for (;;) {
    const double mid = lo + (hi - lo) / 2.0;
    if (mid <= lo || mid >= hi) break;
    (hired(mid) > ratio ? lo : hi) = mid;
  }
  const double c = hired(lo) - ratio < ratio - hired(hi) ? lo : hi;
  return {gsl_cdf_ugaussian_Q(c - esize), gsl_cdf_ugaussian_Q(c)};
}

double esize_for_impact_ratio(double impact_ratio, double p, double ratio) {
  const double majority = ratio / (p * impact_ratio + 1.0 - p);
  const double minority = impact_ratio * majority;
  if (!(minority < 1.0) || !(majority < 1.0)) return std::numeric_limits<double>::infinity();
  return gsl_cdf_ugaussian_Qinv(majority) - gsl_cdf_ugaussian_Qinv(minority);
}
