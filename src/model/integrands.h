#pragma once

#include <vector>

#include <gsl/gsl_integration.h>

#include "model/parblk.h"

// Lower limit of every inner integration, and the half-width of the first
// outer range.
inline constexpr double score_limit = 6.5;

// What the outer integrand needs: the parameters, the inner integration's own
// work storage (the integrator is re-entered from inside fun, so each level
// has its own), and the error numbers of inner integrations that ended
// abnormally, in the order they happened, for the caller to collect.
struct model_ctx {
  parblk pb;
  gsl_integration_workspace *inner = nullptr;
  std::vector<int> inner_errors;
};

// Density at y of the rmaj-th smallest of nmaj standard normal scores.
// params points to a parblk with rmaj, nmaj and blmaj set.
double fu1(double y, void *params);

// Outer integrand: density at x of the smin-th smallest of nmin minority
// scores times the probability that the rmaj-th smallest majority score lies
// in (-6.5, x). params points to a model_ctx whose parblk has every field
// set. Returns +0 for x <= -6.5. blmaj depends only on the outcome, so the
// caller sets it with rmaj rather than fun recomputing it at every abscissa.
double fun(double x, void *params);

// The error number the report and the library notice show for an integrator
// status: 1 too many subdivisions, 2 roundoff, 3 bad integrand behaviour,
// 6 anything else.
int integ_error_code(int gsl_status);

// Runs the 61-point Gauss-Kronrod adaptive integration with at most 25000
// subintervals; returns the error number (0 on success).
int integrate(const gsl_function &f, double lo, double hi, double epsabs, double epsrel,
              gsl_integration_workspace *ws, double &result);
