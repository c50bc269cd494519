// Vector-valued adaptive Gauss-Legendre quadrature; see vquad.h.
//
// The Gauss-Legendre nodes and weights come from GSL's public glfixed table.
#include "model/vquad.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include <gsl/gsl_integration.h>

namespace {

// Gauss-Legendre nodes and weights on [-1, 1].
struct gl_rule {
  std::vector<double> x, w;
};

gl_rule make_rule(int n) {
  gsl_integration_glfixed_table *table = gsl_integration_glfixed_table_alloc(n);
  gl_rule r;
  r.x.resize(static_cast<std::size_t>(n));
  r.w.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    gsl_integration_glfixed_point(-1.0, 1.0, static_cast<std::size_t>(i), &r.x[i], &r.w[i], table);
  gsl_integration_glfixed_table_free(table);
  return r;
}

// The panels, each with its two halves' results and its error estimates
// (m per panel, stored panel after panel).
struct panels {
  std::size_t m;
  std::vector<double> lo, hi;
  std::vector<double> left, right, err;

  std::size_t count() const { return lo.size(); }
  double *at(std::vector<double> &v, std::size_t p) { return v.data() + p * m; }
};

struct integrator {
  const vquad_integrand &f;
  gl_rule rule;
  std::vector<double> sample; // the integrand values at one abscissa
  int evaluations = 0;

  // The rule's estimates of the integrals over [a, b], stored into q.
  void apply(double a, double b, double *q) {
    const double c = 0.5 * (a + b);
    const double r = 0.5 * (b - a);
    std::fill(q, q + sample.size(), 0.0);
    for (std::size_t i = 0; i < rule.x.size(); ++i) {
      const vquad_written written = f(c + r * rule.x[i], sample);
      ++evaluations;
      const double w = r * rule.w[i];
      for (int k = written.first; k < written.last; ++k)
        q[k] += w * sample[static_cast<std::size_t>(k)];
    }
  }

  // Integrates the halves of [a, b] into panel p, whose whole-panel result is
  // coarse, and estimates its error.
  void fill(panels &ps, std::size_t p, double a, double b, const double *coarse) {
    const double mid = 0.5 * (a + b);
    ps.lo[p] = a;
    ps.hi[p] = b;
    double *l = ps.at(ps.left, p);
    double *r = ps.at(ps.right, p);
    double *e = ps.at(ps.err, p);
    apply(a, mid, l);
    apply(mid, b, r);
    for (std::size_t k = 0; k < ps.m; ++k)
      e[k] = std::fabs(coarse[k] - (l[k] + r[k]));
  }
};

void add_panel(panels &ps) {
  ps.lo.push_back(0.0);
  ps.hi.push_back(0.0);
  ps.left.resize(ps.left.size() + ps.m);
  ps.right.resize(ps.right.size() + ps.m);
  ps.err.resize(ps.err.size() + ps.m);
}

// Replaces panel p by its left half and appends its right half.
void split(integrator &in, panels &ps, std::size_t p) {
  const double a = ps.lo[p], b = ps.hi[p], mid = 0.5 * (a + b);
  const std::vector<double> l(ps.at(ps.left, p), ps.at(ps.left, p) + ps.m);
  const std::vector<double> r(ps.at(ps.right, p), ps.at(ps.right, p) + ps.m);
  add_panel(ps);
  in.fill(ps, p, a, mid, l.data());
  in.fill(ps, ps.count() - 1, mid, b, r.data());
}

// Sums of the values and of the error estimates over all panels.
void totals(panels &ps, std::vector<double> &value, std::vector<double> &error) {
  std::fill(value.begin(), value.end(), 0.0);
  std::fill(error.begin(), error.end(), 0.0);
  for (std::size_t p = 0; p < ps.count(); ++p) {
    const double *l = ps.at(ps.left, p), *r = ps.at(ps.right, p), *e = ps.at(ps.err, p);
    for (std::size_t k = 0; k < ps.m; ++k) {
      value[k] += l[k] + r[k];
      error[k] += e[k];
    }
  }
}

// The panel whose error estimate is largest relative to some component's tolerance.
std::size_t worst_panel(panels &ps, const std::vector<double> &inv_tol) {
  std::size_t best = 0;
  double best_score = -1.0;
  for (std::size_t p = 0; p < ps.count(); ++p) {
    const double *e = ps.at(ps.err, p);
    double score = 0.0;
    for (std::size_t k = 0; k < ps.m; ++k)
      score = std::max(score, e[k] * inv_tol[k]);
    if (score > best_score) {
      best_score = score;
      best = p;
    }
  }
  return best;
}

} // namespace

vquad_result vquad(const vquad_integrand &f, int m, double a, double b, const vquad_options &opt) {
  const std::size_t nm = static_cast<std::size_t>(m);
  integrator in{f, make_rule(opt.order), std::vector<double>(nm)};
  panels ps{nm, {}, {}, {}, {}, {}};
  std::vector<double> coarse(nm);
  const int first = std::max(1, opt.first_panels);
  const double width = (b - a) / first;
  for (int i = 0; i < first; ++i) {
    const double lo = a + i * width, hi = i + 1 == first ? b : a + (i + 1) * width;
    in.apply(lo, hi, coarse.data());
    add_panel(ps);
    in.fill(ps, ps.count() - 1, lo, hi, coarse.data());
  }

  vquad_result res;
  res.value.resize(nm);
  std::vector<double> error(nm), inv_tol(nm);
  for (;;) {
    totals(ps, res.value, error);
    res.worst = 0.0;
    bool finite = true;
    for (std::size_t k = 0; k < nm; ++k) {
      const double tol = std::max(opt.epsabs, opt.epsrel * std::fabs(res.value[k]));
      inv_tol[k] = 1.0 / tol;
      const double ratio = error[k] * inv_tol[k];
      finite = finite && std::isfinite(ratio);
      res.worst = std::max(res.worst, ratio);
    }
    if (!finite) { // splitting cannot repair a value that is not a number
      res.converged = false;
      res.worst = HUGE_VAL;
      break;
    }
    if (res.worst <= 1.0) break;
    if (static_cast<int>(ps.count()) >= opt.panel_limit) {
      res.converged = false;
      break;
    }
    split(in, ps, worst_panel(ps, inv_tol));
  }
  res.evaluations = in.evaluations;
  return res;
}
