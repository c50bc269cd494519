// Order-statistic integrands of one hiring outcome.
//
// P(at most j majority hires) = integral of f_min(x) F_maj(x) dx, where f_min is
// the density of the smin-th smallest minority score and F_maj the
// distribution function of the rmaj-th smallest majority score. Both work in
// logarithms and take one exponential at the end; each sum is added in the
// order written, since the adaptive integrator turns a last-bit difference
// into a different subdivision and so into different printed digits.
#include "model/integrands.h"

#include <cmath>

#include <gsl/gsl_errno.h>

#include "model/normal.h"

namespace {

constexpr int max_subintervals = 25000;

// count * ln(prob), where a count of zero stands for a factor raised to the
// power 0: it contributes exactly 0 even when prob is 0 (ln gives -inf).
double power_term(int count, double prob) {
  return count == 0 ? 0.0 : static_cast<double>(count) * std::log(prob);
}

} // namespace

int integ_error_code(int gsl_status) {
  switch (gsl_status) {
    case GSL_SUCCESS:
      return 0;
    case GSL_EMAXITER:
      return 1;
    case GSL_EROUND:
      return 2;
    case GSL_ESING:
      return 3;
    default:
      return 6;
  }
}

int integrate(const gsl_function &f, double lo, double hi, double epsabs, double epsrel,
              gsl_integration_workspace *ws, double &result) {
  double abserr = 0.0;
  const int status = gsl_integration_qag(&f, lo, hi, epsabs, epsrel, max_subintervals,
                                         GSL_INTEG_GAUSS61, ws, &result, &abserr);
  return integ_error_code(status);
}

double fu1(double y, void *params) {
  const auto &pb = *static_cast<const parblk *>(params);
  const normal_at n = std_normal(y, pb.rs2pi);
  const double u1 = std::log(n.density);
  const double q = n.cdf;
  const double u3 = power_term(pb.nmaj - pb.rmaj, 1.0 - q);
  const double u2 = power_term(pb.rmaj - 1, q);
  return std::exp(u1 + u2 + u3 - pb.blmaj);
}

double fun(double x, void *params) {
  auto &ctx = *static_cast<model_ctx *>(params);
  parblk &pb = ctx.pb;
  if (x <= -score_limit) return 0.0;

  // The minority density at x and distribution function at x - esize share
  // their argument: phib(x, esize, 1) divides x - esize by sqrt(1) = 1.
  const normal_at n = std_normal(x - pb.esize, pb.rs2pi);
  const double t1 = std::log(n.density);
  const double p = n.cdf;
  const double t3 = power_term(pb.nmin - pb.smin, 1.0 - p);
  const double t2 = power_term(pb.smin - 1, p);

  const gsl_function inner{&fu1, &pb};
  double in = 0.0;
  const int ier = integrate(inner, -score_limit, x, 1e-5, 1e-4, ctx.inner, in);
  if (ier != 0) ctx.inner_errors.push_back(ier);

  return std::exp(std::log(in) + t1 + t2 + t3 - pb.blmin);
}
