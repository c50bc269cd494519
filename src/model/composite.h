#pragma once

// Composites of predictors seen from the two groups: the conversions between a
// standardized mean difference and a point-biserial correlation, and what an
// infinitely large pool would show when the best of it are hired.
//
// Signs follow esize: positive when the minority scores higher. p is the
// minority's share of the applicants, q = 1 - p.

// The correlation of a score with minority membership in a population where
// the minority is the share p, the groups differing by esize within-group
// standard deviations: esize sqrt(pq) / sqrt(1 + esize^2 pq).
double point_biserial(double esize, double p);

// Its inverse: rho / sqrt(pq (1 - rho^2)), for |rho| < 1.
double esize_of_point_biserial(double rho, double p);

// Top-down selection of the share `ratio` of an infinite pool: the cut c on
// the majority's scale solving p Q(c - esize) + q Q(c) = ratio (Q = 1 - Phi),
// and the two groups' selection rates there. ratio = 1: everyone is hired,
// both rates 1. Needs 0 < p < 1, 0 < ratio <= 1 and a finite esize.
struct population_rates {
  double minority = 1.0; // Q(c - esize)
  double majority = 1.0; // Q(c)
};
population_rates population_selection(double esize, double p, double ratio);

// The esize at which the population impact ratio (minority rate over
// majority rate) equals `impact_ratio` (> 0), in closed form: Q(c) = ratio /
// (p A + q), esize = c - Q^-1(A Q(c)). +infinity when no esize reaches it.
double esize_for_impact_ratio(double impact_ratio, double p, double ratio);
