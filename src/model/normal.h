#pragma once

// Normal distribution functions under the integrands. Both run once per
// integrand evaluation, so they are plain scalar code with no state.

// Density at x of the normal distribution with the given mean and variance
// (a variance, not a standard deviation; it must be positive). rs2pi is
// 1 / sqrt(2 pi) as kept in the parameter block.
double phib(double x, double mean, double var, double rs2pi);

// Standard normal distribution function Phi(x), in [0, 1]: exactly 0.5 at 0,
// exactly 0 below -37 and exactly 1 above 37 (and in practice above ~8.3).
double phid(double x);

// The standard normal density and distribution function at z together, bit
// for bit phib(z, 0.0, 1.0, rs2pi) and phid(z). Both need exp(-z*z/2), and the
// two functions form its argument identically, so one exponential serves both:
// the integrands evaluate this pair at every abscissa.
struct normal_at {
  double density;
  double cdf;
};
normal_at std_normal(double z, double rs2pi);
