#pragma once

#include <functional>
#include <span>
#include <vector>

// The trapezoidal rule for several integrands at once, on shared nodes,
// halving the step until no component changes by more than its tolerance.
//
// For an integrand that is analytic in a strip about the interval and
// negligible at both ends, the rule converges exponentially in the number of
// nodes: its error falls like exp(-2 pi d / step), d the strip's half-width
// (L. N. Trefethen and J. A. C. Weideman, "The exponentially convergent
// trapezoidal rule", SIAM Review 56, 2014, 385-458). Each halving then
// squares the relative error, so the change from the previous step - the
// error estimate - bounds the coarser result, and the value kept, on twice
// the nodes, is far better than that. Halving reuses every node: the final
// rule costs its own nodes and nothing more. Component k's tolerance is
// max(epsabs, epsrel |value_k|). The caller chooses the first step small
// enough for the narrowest integrand to show on it: a peak that falls
// between the nodes of two successive rules is not seen by either.

struct trapezoid_options {
  double epsrel = 1e-13;
  double epsabs = 1e-17;
  int intervals = 16; // of the first rule
  int halvings = 10;  // at most; at least one is always made, to compare
};

// The components an integrand wrote at one node: first ... last - 1; all
// others are 0 there.
struct written_range {
  int first, last;
};

struct trapezoid_result {
  int first = 0;             // value[k] is the integral of component first + k;
  std::vector<double> value; // those written at some node (all others are 0)
  bool converged = true;     // every component met its tolerance
  double worst = 0.0;        // largest change over its tolerance (<= 1 when converged)
  int evaluations = 0;       // integrand calls
};

// f(t, out) stores in out (of size m) the values at t of the integrands that
// are not 0 there, and says which it wrote; the others need not be written.
// Work grows with the components written, memory with m.
using vector_integrand = std::function<written_range(double t, std::span<double> out)>;

// The rule's buffers, kept from one call to the next on one thread: thousands
// of integrals of 10^5 components would otherwise map and unmap megabytes
// each. Their contents carry nothing from call to call.
struct trapezoid_work {
  std::vector<double> sample, sum, before;
};

// Integrals over [a, b] (a < b) of the m >= 1 components of f.
trapezoid_result trapezoid(const vector_integrand &f, int m, double a, double b,
                           const trapezoid_options &opt = {});
trapezoid_result trapezoid(const vector_integrand &f, int m, double a, double b,
                           const trapezoid_options &opt, trapezoid_work &work);
