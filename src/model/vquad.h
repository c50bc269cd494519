#pragma once

#include <functional>
#include <span>
#include <vector>

// Adaptive quadrature of several integrands over one interval at once. All of
// them are sampled at the same abscissae, so an integrand that is cheap to
// evaluate as a whole vector (shared special functions, a recurrence across
// components) costs one call per abscissa, not one per component.
//
// The interval is cut into panels. Each panel is integrated by an n-point
// Gauss-Legendre rule over the whole panel and over each of its halves; the
// halves' sum is the panel's value, and its difference from the whole-panel
// rule is the panel's error estimate for every component. That estimate
// belongs to the coarser of the two results, so it overstates the error of
// the value kept - a deliberate margin. Component k's tolerance is
// max(epsabs, epsrel |value_k|); the sum over panels of its error estimates
// must not exceed it. Until every component meets its tolerance, the panel
// with the largest error estimate relative to a component's tolerance is
// split in two; its halves' sums, already known, become the new panels'
// whole-panel results, so a split costs 2n evaluations.

struct vquad_options {
  double epsrel = 1e-13;
  double epsabs = 1e-17;
  int order = 10;        // Gauss-Legendre points per rule
  int first_panels = 4;  // equal panels the interval starts with
  int panel_limit = 400; // give up (converged = false) rather than split past this
};

struct vquad_result {
  std::vector<double> value; // integral of each component
  bool converged = true;     // every component met its tolerance
  double worst = 0.0;        // largest error estimate over its tolerance (<= 1 when converged)
  int evaluations = 0;       // integrand calls
};

// The components an integrand wrote at one abscissa: first ... last - 1;
// all others are 0 there.
struct vquad_written {
  int first, last;
};

// f(t, out) stores in out (of size m) the values at t of the m integrands
// that are not 0 there, and says which it wrote; the others need not be
// written. Integrands of many components that are each non-zero over a part
// of the interval cost in proportion to what they write.
using vquad_integrand = std::function<vquad_written(double t, std::span<double> out)>;

// Integrals over [a, b] (a < b) of the m >= 1 components of f.
vquad_result vquad(const vquad_integrand &f, int m, double a, double b,
                   const vquad_options &opt = {});
