// The trapezoidal rule with step halving, for many integrands at once; see
// trapezoid.h.
#include "model/trapezoid.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

trapezoid_result trapezoid(const vector_integrand &f, int m, double a, double b,
                           const trapezoid_options &opt) {
  trapezoid_work work;
  return trapezoid(f, m, a, b, opt, work);
}

trapezoid_result trapezoid(const vector_integrand &f, int m, double a, double b,
                           const trapezoid_options &opt, trapezoid_work &work) {
  const auto size = static_cast<std::size_t>(m);
  // The sums over the nodes so far and the previous rule's values, set only
  // for the components written at some node, lo ... hi - 1: a pool of 10^5
  // hires writes a few thousand, and clearing all m at every call cost more
  // than the integrand. A component first written after a halving began
  // had the previous rule's value 0.
  for (std::vector<double> *v : {&work.sample, &work.sum, &work.before})
    if (v->size() < size) v->resize(size);
  double *const sample = work.sample.data();
  double *const sum = work.sum.data();
  double *const before = work.before.data();
  std::size_t lo = size, hi = 0;
  const auto clear = [&](std::size_t from, std::size_t to) {
    std::fill(sum + from, sum + to, 0.0);
    std::fill(before + from, before + to, 0.0);
  };
  trapezoid_result res;
  const auto add = [&](double t, double weight) {
    const written_range w = f(t, std::span<double>(sample, size));
    ++res.evaluations;
    if (w.first >= w.last) return;
    const auto first = static_cast<std::size_t>(w.first), last = static_cast<std::size_t>(w.last);
    if (lo >= hi) {
      clear(first, last);
      lo = first;
      hi = last;
    }
    if (first < lo) clear(first, std::exchange(lo, first));
    if (last > hi) clear(std::exchange(hi, last), last);
    for (std::size_t k = first; k < last; ++k)
      sum[k] += weight * sample[k];
  };

  int n = std::max(1, opt.intervals);
  const double width = b - a;
  for (int i = 0; i <= n; ++i)
    add(a + width * i / n, i == 0 || i == n ? 0.5 : 1.0);
  for (int level = 0; level < std::max(1, opt.halvings); ++level) {
    for (std::size_t k = lo; k < hi; ++k)
      before[k] = sum[k] * (width / n);
    for (int i = 0; i < n; ++i)
      add(a + width * (2 * i + 1) / (2.0 * n), 1.0);
    n *= 2;
    res.worst = 0.0;
    bool finite = true;
    for (std::size_t k = lo; k < hi; ++k) {
      const double v = sum[k] * (width / n);
      const double ratio =
          std::fabs(v - before[k]) / std::max(opt.epsabs, opt.epsrel * std::fabs(v));
      finite = finite && std::isfinite(ratio);
      res.worst = std::max(res.worst, ratio);
    }
    if (!finite) { // halving cannot repair a value that is not a number
      res.worst = HUGE_VAL;
      break;
    }
    if (res.worst <= 1.0) break;
  }
  res.converged = res.worst <= 1.0;
  if (lo >= hi) return res; // nothing was written
  res.first = static_cast<int>(lo);
  res.value.resize(hi - lo);
  std::transform(sum + lo, sum + hi, res.value.begin(), [&](double s) { return s * (width / n); });
  return res;
}
