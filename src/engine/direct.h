#pragma once

#include <vector>

#include "model/trapezoid.h"

// Outcome distribution of one applicant pool by the direct method.
//
// n1 minority applicants score N(esize, 1), n0 majority applicants N(0, 1), and
// the h best are hired. For every number x of minority hires, P(X = x) is one
// integral over the lowest hired score t of the density that the lowest hired
// scores t and exactly x of the hired are minority applicants. All outcomes
// share the nodes of one trapezoidal rule in t, its step halved until none
// changes by more than its tolerance.
//
// Each probability is computed to max(1e-13 P, 1e-17) by that (conservative)
// error estimate; when it is not reached within the allowed halvings the
// result still comes back, with accurate = false and the accuracy reached in
// worst_error.

struct direct_result {
  int xlo = 0;              // prob[k] is P(X = xlo + k minority hires)
  std::vector<double> prob; // xlo = max(0, h - n0) up to min(h, n1)
  bool accurate = true;     // every outcome reached its error bound
  double worst_error = 0.0; // largest estimated error relative to its bound (<= 1 when accurate)
  int evaluations = 0;      // integrand nodes evaluated (counts the work)
};

// Requires n1 > 0, n0 > 0 and 0 <= h <= n1 + n0 (throws std::invalid_argument
// otherwise). Thread-safe; no shared state.
direct_result direct_pool(int n1, int n0, int h, double esize);

// The same, but prob holds only the outcomes whose integrand rose above the
// negligible level (1e-30 for the binomial factor) at some node of the rule;
// those outside are exactly 0 in direct_pool's result too. Work grows with
// these outcomes, a few dozen standard deviations of X, rather than with
// min(h, n1); the integrator's sums take 16 bytes an outcome of the pool.
direct_result direct_outcomes_kept(int n1, int n0, int h, double esize);

// A pool's buffers, kept from one pool to the next on one thread (its
// contents carry nothing over): the rule's, and the ratio factors of its
// outcomes.
struct direct_work {
  trapezoid_work integral;
  std::vector<double> up, down;
};
direct_result direct_outcomes_kept(int n1, int n0, int h, double esize, direct_work &work);
