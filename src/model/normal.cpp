// Normal density and distribution function.
//
// phid is Hart's double-precision approximation 5666 of the normal
// distribution function in West's arrangement ("Better approximations to
// cumulative normal functions", Wilmott, 2005): a rational function up to
// |x| = 10/sqrt(2) and a continued fraction beyond, cut off at |x| = 37.
// The coefficients are Hart's, as West prints them.
//
// Every expression below is written in the order the report's digits were
// produced with; the build forbids fused multiply-add for the same reason.
#include "model/normal.h"

#include <cmath>

namespace {

constexpr double p[] = {0.03526249659989109, 0.7003830644436881, 6.37396220353165, 33.912866078383,
                        112.0792914978709,   221.2135961699311,  220.2068679123761};
constexpr double q[] = {0.08838834764831845, 1.755667163182642, 16.06417757920695,
                        86.78073220294608,   296.5642487796737, 637.3336333788311,
                        793.8265125199484,   440.4137358247522};

// Horner's scheme from the highest power; q[7] = 2 p[6] makes phid(0) = 0.5 exactly.
template <int N> double horner(const double (&c)[N], double a) {
  double s = c[0];
  for (int k = 1; k < N; ++k)
    s = s * a + c[k];
  return s;
}

// Upper tail 1 - Phi(a) for a >= 0, given e = exp(-(a * a) / 2).
double upper_tail(double a, double e) {
  if (a > 37.0) return 0.0;
  if (a < 7.071067811865475) return (horner(p, a) * e) / horner(q, a);
  const double k = a + 1.0 / (a + 2.0 / (a + 3.0 / (a + 4.0 / (a + 0.65))));
  return (e / k) / 2.506628274631001;
}

} // namespace

double phib(double x, double mean, double var, double rs2pi) {
  const double sd = std::sqrt(var);
  const double z = (x - mean) / sd;
  const double g = (z * z) * -0.5;
  const double h = std::exp(g) * rs2pi;
  return h / sd;
}

double phid(double x) {
  const double a = std::fabs(x);
  // Beyond the cut-off the tail is 0 and the exponential is never needed.
  const double u = a > 37.0 ? 0.0 : upper_tail(a, std::exp(-(a * a) / 2.0));
  return x > 0.0 ? 1.0 - u : u;
}

normal_at std_normal(double z, double rs2pi) {
  // (z * z) * -0.5 and -(a * a) / 2 are the same double: a * a = z * z, and
  // halving is exact either way.
  const double e = std::exp((z * z) * -0.5);
  const double u = upper_tail(std::fabs(z), e);
  return {e * rs2pi, z > 0.0 ? 1.0 - u : u};
}
