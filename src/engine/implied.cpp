// The implied effect size: the pools' likelihood and tails at an esize, and
// the three searches over esize.
#include "engine/implied.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include <gsl/gsl_cdf.h>
#include <gsl/gsl_randist.h>

#include "engine/direct.h"
#include "model/compensated.h"

namespace {

// ln of an outcome probability the direct method left out as negligible
// (below about 1e-43): far below any likelihood a search comes near.
constexpr double ln_negligible = -1000.0;
// Entries at the ends of the convolution below this are dropped: their total
// over a thousand pools stays far below the 1e-11 the tails are found to,
// and the convolution stays as wide as the distribution of S, not its range.
constexpr double negligible_mass = 1e-30;
// Probits of tails are kept within this; Phi^-1(1e-300) is about -37.
constexpr double probit_limit = 40.0;
constexpr double tail_tolerance = 1e-9; // relative to alpha / 2
// Brent's search on the likelihood's values cannot place the maximum closer
// than about sqrt(1e-16) relative: there the values differ in their last
// bits. It stops at this (of the large-sample standard error), where they
// still differ by some 1e-12; Newton steps on the slope finish the job.
constexpr double mle_tolerance = 1e-6;
// The central differences' step (of the standard error): their truncation
// error, about 1e-10 of the slope's scale, and their rounding, about 1e-11,
// each move the maximum by far below 1e-9.
constexpr double slope_step = 1e-5;
// Every search stays within |esize| <= this; the direct method's score range
// follows esize, and no pool of up to 1e5 applicants puts an end near it.
constexpr double esize_reach = 60.0;
constexpr int max_steps = 100;
constexpr double golden = 0.3819660112501051; // (3 - sqrt 5) / 2

const char *const out_of_reach = "the search left the range |esize| <= 60";
const char *const stopped = "the computation was cancelled";

// The likelihood of what was observed and the tails of S at one esize.
struct tails {
  double ln_likelihood = 0.0;
  double at_least = 0.0, below = 0.0; // P(S' >= S), P(S' < S)
  double at_most = 0.0, above = 0.0;  // P(S' <= S), P(S' > S)
};

struct sample {
  const std::vector<observed_pool> &pools;
  int s = 0; // the observed total of minority hires
  const std::atomic<bool> *cancel = nullptr;
  int evaluations = 0;
  bool cancelled = false;
};

std::vector<double> convolve(const std::vector<double> &a, const std::vector<double> &b) {
  std::vector<double> c(a.size() + b.size() - 1, 0.0);
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t j = 0; j < b.size(); ++j)
      c[i + j] += a[i] * b[j];
  return c;
}

// Drops the negligible entries at both ends of d, whose first entry is the
// probability of lo; lo follows.
void trim(std::vector<double> &d, int &lo) {
  const auto kept = [](double p) { return p >= negligible_mass; };
  const auto first = std::find_if(d.begin(), d.end(), kept);
  const auto last = std::find_if(d.rbegin(), d.rend(), kept).base();
  if (first >= last) return;
  lo += static_cast<int>(first - d.begin());
  d = std::vector<double>(first, last);
}

tails evaluate(sample &w, double e) {
  tails t;
  if (w.cancel && w.cancel->load()) w.cancelled = true;
  if (w.cancelled) return t;
  ++w.evaluations;
  std::vector<double> total{1.0};
  int lo = 0;
  for (const observed_pool &p : w.pools) {
    const direct_result r = direct_outcomes_kept(p.n1, p.n0, p.h, e);
    const int k = p.x - r.xlo;
    const double px = k >= 0 && k < static_cast<int>(r.prob.size()) ? r.prob[k] : 0.0;
    t.ln_likelihood += px > 0.0 ? std::max(std::log(px), ln_negligible) : ln_negligible;
    total = convolve(total, r.prob);
    lo += r.xlo;
    trim(total, lo);
  }
  compensated_sum below, at, above;
  for (std::size_t i = 0; i < total.size(); ++i) {
    const int v = lo + static_cast<int>(i);
    (v < w.s ? below : v == w.s ? at : above).add(total[i]);
  }
  t.below = std::min(1.0, below.value());
  t.above = std::min(1.0, above.value());
  t.at_most = std::min(1.0, t.below + at.value());
  t.at_least = std::min(1.0, at.value() + t.above);
  return t;
}

// Phi^-1 of a probability p given with its complement, from whichever of
// the two is smaller and so accurate.
double probit(double p, double complement) {
  double z = 0.0;
  if (p <= complement)
    z = p > 0.0 ? gsl_cdf_ugaussian_Pinv(p) : -probit_limit;
  else
    z = complement > 0.0 ? gsl_cdf_ugaussian_Qinv(complement) : probit_limit;
  return std::clamp(z, -probit_limit, probit_limit);
}

maybe<double> found(double e) {
  return {e, ""};
}
maybe<double> not_found(const sample &w, const char *why) {
  return {std::nullopt, w.cancelled ? stopped : why};
}

// ---- The interval's ends --------------------------------------------------

enum class end { lower, upper };

// One evaluation seen by an end's search: f, the difference of probits,
// rises with esize and is 0 at the end; p is the tail itself.
struct probe {
  double e, f, p;
};

probe probe_at(sample &w, end which, double e, double alpha) {
  const tails t = evaluate(w, e);
  const double target = gsl_cdf_ugaussian_Pinv(alpha / 2.0);
  if (which == end::lower) return {e, probit(t.at_least, t.below) - target, t.at_least};
  return {e, target - probit(t.at_most, t.above), t.at_most};
}

bool meets(const probe &p, double alpha) {
  return std::fabs(p.p - alpha / 2.0) <= tail_tolerance * alpha / 2.0;
}

// Secant steps through the two latest probes of a bracket, kept within the
// bracket; a bisection instead where the secant leaves it, or where the
// last step did not halve |f| (Dekker's safeguard, in short).
maybe<double> refine(sample &w, end which, probe older, probe newer, double alpha) {
  probe lo = older.f < 0.0 ? older : newer, hi = older.f < 0.0 ? newer : older;
  bool halved = true;
  for (int i = 0; i < max_steps && !w.cancelled; ++i) {
    double e = newer.e - newer.f * (newer.e - older.e) / (newer.f - older.f);
    if (!halved || !(e > std::min(lo.e, hi.e) && e < std::max(lo.e, hi.e))) e = 0.5 * (lo.e + hi.e);
    const probe c = probe_at(w, which, e, alpha);
    if (w.cancelled) break;
    if (meets(c, alpha)) return found(c.e);
    (c.f < 0.0 ? lo : hi) = c;
    halved = std::fabs(c.f) <= 0.5 * std::fabs(newer.f);
    older = newer;
    newer = c;
    // The tail cannot be resolved more finely than esize's last digits.
    if (std::fabs(hi.e - lo.e) <= 1e-14 * (1.0 + std::fabs(c.e))) return found(c.e);
  }
  return not_found(w, "the search for the end did not converge");
}

// From a start and the large-sample standard error se: a Newton step with
// the slope 1 / se the probits have in large samples, then secant steps
// (a tenth beyond the estimate, so that one brackets the end, and at most
// four times the last) until the end is bracketed.
maybe<double> solve_end(sample &w, end which, double start, double se, double alpha) {
  probe a = probe_at(w, which, start, alpha);
  double step = -a.f * se;
  for (int i = 0; i < max_steps && !w.cancelled; ++i) {
    if (meets(a, alpha)) return found(a.e);
    step = std::copysign(std::max(std::fabs(step), 1e-6 * se), -a.f);
    if (std::fabs(a.e + step) > esize_reach) return not_found(w, out_of_reach);
    const probe b = probe_at(w, which, a.e + step, alpha);
    if (w.cancelled) break;
    if (meets(b, alpha)) return found(b.e);
    if ((a.f < 0.0) != (b.f < 0.0)) return refine(w, which, a, b, alpha);
    const double slope = (b.f - a.f) / (b.e - a.e);
    step = slope > 0.0 ? std::min(std::fabs(b.f / slope) * 1.1, 4.0 * std::fabs(step))
                       : 2.0 * std::fabs(step);
    a = b;
  }
  return not_found(w, "the search for the end did not converge");
}

// ---- The maximum of the likelihood ---------------------------------------

struct point {
  double e, f; // f = -ln likelihood, minimized
};

point point_at(sample &w, double e) {
  return {e, -evaluate(w, e).ln_likelihood};
}

// Brent's minimization without derivatives (R. P. Brent, "Algorithms for
// Minimization without Derivatives", 1973, ch. 5) on the bracket a < x < b,
// f(x) not above f(a), f(b): parabolic steps through the three best points
// where they shrink the steps fast enough, golden sections where they do
// not, and no step shorter than tol.
maybe<double> brent_minimum(sample &w, point a, point x, point b, double tol) {
  if (a.e > b.e) std::swap(a, b);
  point second = a.f < b.f ? a : b; // the second best point
  point third = a.f < b.f ? b : a;  // the second best before it
  double lo = a.e, hi = b.e;
  double moved = hi - lo, step = moved; // the step before last, and the last
  for (int i = 0; i < max_steps && !w.cancelled; ++i) {
    const double mid = 0.5 * (lo + hi);
    if (std::fabs(x.e - mid) <= 2.0 * tol - 0.5 * (hi - lo)) return found(x.e);
    bool parabolic = false;
    if (std::fabs(moved) > tol) {
      double r = (x.e - second.e) * (x.f - third.f);
      double q = (x.e - third.e) * (x.f - second.f);
      double p = (x.e - third.e) * q - (x.e - second.e) * r;
      q = 2.0 * (q - r);
      if (q > 0.0) p = -p;
      q = std::fabs(q);
      r = moved;
      if (std::fabs(p) < std::fabs(0.5 * q * r) && p > q * (lo - x.e) && p < q * (hi - x.e)) {
        parabolic = true;
        moved = step;
        step = p / q;
        const double u = x.e + step;
        if (u - lo < 2.0 * tol || hi - u < 2.0 * tol) step = x.e < mid ? tol : -tol;
      }
    }
    if (!parabolic) {
      moved = (x.e < mid ? hi : lo) - x.e;
      step = golden * moved;
    }
    const double e = x.e + (std::fabs(step) >= tol ? step : std::copysign(tol, step));
    const point u = point_at(w, e);
    if (w.cancelled) break;
    if (u.f <= x.f) {
      (u.e < x.e ? hi : lo) = x.e;
      third = second;
      second = x;
      x = u;
    } else {
      (u.e < x.e ? lo : hi) = u.e;
      if (u.f <= second.f || second.e == x.e) {
        third = second;
        second = u;
      } else if (u.f <= third.f || third.e == x.e || third.e == second.e) {
        third = u;
      }
    }
  }
  return not_found(w, "the search for the maximum did not converge");
}

// A Newton step from Brent's maximum on the slope and curvature of the
// log-likelihood by central differences: from within 1e-6 of the standard
// error it lands within about 1e-12 of it. A step longer than Brent's
// tolerance allows, or on a curvature of the wrong sign, is not taken.
maybe<double> polish(sample &w, maybe<double> m, double se) {
  if (!m.value || w.cancelled) return m;
  const double e = *m.value, h = slope_step * se;
  const double f0 = point_at(w, e).f, up = point_at(w, e + h).f, down = point_at(w, e - h).f;
  if (w.cancelled) return not_found(w, stopped);
  const double slope = (up - down) / (2.0 * h), curvature = (up - 2.0 * f0 + down) / (h * h);
  const double step = curvature > 0.0 ? -slope / curvature : 0.0;
  return found(std::fabs(step) <= 4.0 * mle_tolerance * se ? e + step : e);
}

// Walks uphill from the start - the way the tails point: most of S' below
// S means esize is higher - in doubling steps until the likelihood falls,
// then closes in on the maximum.
maybe<double> fit_mle(sample &w, double start, double se) {
  const tails t = evaluate(w, start);
  point x{start, -t.ln_likelihood};
  double dir = t.below > t.above ? 1.0 : -1.0;
  double step = se;
  point ahead = point_at(w, x.e + dir * step);
  point behind = x;
  if (ahead.f > x.f) { // it falls this way: look the other way
    const point other = point_at(w, x.e - dir * step);
    if (other.f > x.f) return polish(w, brent_minimum(w, other, x, ahead, mle_tolerance * se), se);
    dir = -dir;
    behind = ahead;
    ahead = other;
  }
  for (int i = 0; i < max_steps && !w.cancelled && ahead.f <= x.f; ++i) {
    behind = x;
    x = ahead;
    step *= 2.0;
    if (std::fabs(x.e + dir * step) > esize_reach) return not_found(w, out_of_reach);
    ahead = point_at(w, x.e + dir * step);
  }
  if (w.cancelled) return not_found(w, stopped);
  return polish(w, brent_minimum(w, behind, x, ahead, mle_tolerance * se), se);
}

// The large-sample value and standard error: each pool's probit difference
// of its rates, moved half a hire inward so that none is 0 or 1, weighted by
// the inverse of its delta-method variance
//   r1 (1 - r1) / (n1 phi(z1)^2) + r0 (1 - r0) / (n0 phi(z0)^2).
struct large_sample {
  double e, se;
};
large_sample large_sample_of(const std::vector<observed_pool> &pools) {
  double weights = 0.0, weighted = 0.0;
  for (const observed_pool &p : pools) {
    const double r1 = (p.x + 0.5) / (p.n1 + 1.0), r0 = (p.h - p.x + 0.5) / (p.n0 + 1.0);
    const double z1 = gsl_cdf_ugaussian_Pinv(r1), z0 = gsl_cdf_ugaussian_Pinv(r0);
    const double d1 = gsl_ran_ugaussian_pdf(z1), d0 = gsl_ran_ugaussian_pdf(z0);
    const double var = r1 * (1.0 - r1) / (p.n1 * d1 * d1) + r0 * (1.0 - r0) / (p.n0 * d0 * d0);
    weights += 1.0 / var;
    weighted += (z1 - z0) / var;
  }
  return {std::clamp(weighted / weights, -esize_reach / 2, esize_reach / 2),
          1.0 / std::sqrt(weights)};
}

} // namespace

bool informative(const selection_counts &c) {
  const int h = c.minority_hires + c.majority_hires;
  return c.minority_applicants > 0 && c.majority_applicants > 0 && h > 0 &&
         h < c.minority_applicants + c.majority_applicants;
}

observed_pool observed_pool_of(const selection_counts &c) {
  return {c.minority_applicants, c.majority_applicants, c.minority_hires + c.majority_hires,
          c.minority_hires};
}

implied_esize fit_esize(const std::vector<observed_pool> &pools, double alpha,
                        const std::atomic<bool> *cancel, bool &cancelled) {
  sample w{pools, 0, cancel};
  int fewest = 0, most = 0;
  for (const observed_pool &p : pools) {
    w.s += p.x;
    fewest += std::max(0, p.h - p.n0);
    most += std::min(p.h, p.n1);
  }
  const large_sample ls = large_sample_of(pools);
  const double z = gsl_cdf_ugaussian_Qinv(alpha / 2.0);
  implied_esize r;
  if (w.s == fewest)
    r.mle.why = "the likelihood rises without bound as esize falls: no outcome has fewer "
                "minority hires";
  else if (w.s == most)
    r.mle.why = "the likelihood rises without bound as esize grows: no outcome has more "
                "minority hires";
  else
    r.mle = fit_mle(w, ls.e, ls.se);
  const double centre = r.mle.value.value_or(ls.e);
  if (w.s == fewest)
    r.lower.why = "unbounded below: no outcome has fewer minority hires";
  else
    r.lower = solve_end(w, end::lower, centre - z * ls.se, ls.se, alpha);
  if (w.s == most)
    r.upper.why = "unbounded above: no outcome has more minority hires";
  else
    r.upper = solve_end(w, end::upper, centre + z * ls.se, ls.se, alpha);
  r.pool_evaluations = w.evaluations * static_cast<int>(pools.size());
  cancelled = w.cancelled;
  if (cancelled)
    r = {{std::nullopt, stopped},
         {std::nullopt, stopped},
         {std::nullopt, stopped},
         {std::nullopt, stopped},
         r.pool_evaluations};
  return r;
}
