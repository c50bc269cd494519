// The direct method for one pool.
//
// At a lowest hired score t, let S1, F1 (S0, F0) be the chances that one
// minority (majority) applicant scores above / below t. The probability that
// x minority and h - x majority applicants score above t is
//   G(x) = b(x; n1, S1) b(h - x; n0, S0)
// with b the binomial probability, and the density of "lowest hired at t with
// x minority hires" is G(x) (x r1 + (h - x) r0), r1, r0 the two hazard rates
// f/S: the lowest hired is one of the x minority or of the h - x majority
// applicants above t, moved down to t. This is the sum of the two terms
// (lowest hired minority, lowest hired majority) of the defining integral.
//
// Consecutive G differ by a fixed factor times q = S1 F0 / (F1 S0):
//   G(x + 1) / G(x) = R(x) q,  R(x) = (n1 - x)(h - x) / ((x + 1)(n0 - h + x + 1)).
// R falls with x, so G rises to one mode and falls after it. At each t the
// mode is the first x with R(x) q < 1, G there is taken from its logarithm
// (Loader's form keeps it accurate for pools of thousands), and the
// recurrence runs from it outwards: one exponential for q whatever the number
// of outcomes, and no term is ever formed from an underflowed start. Once G
// falls below 1e-30 it and all beyond it are left 0: with hazard rates below
// 100 and h below 1e5 such a density is under 1e-23, and what it leaves out
// of an outcome over a score range below 100 wide under 1e-21, far below the
// 1e-17 that every outcome's tolerance allows.
#include "engine/direct.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>
#include <stdexcept>
#include <utility>

#include "model/lnbinom.h"
#include "model/normal_tails.h"
#include "model/trapezoid.h"

namespace {

constexpr double negligible = 1e-30;                 // G below this counts as 0
constexpr double ln_negligible = -69.07755278982137; // ln 1e-30
constexpr double ln_tail_mass = -48.35428695287496;  // ln 1e-21, see score_range
// Both tail bounds are below 1e-21 this far beyond the means (for pools below
// 1e5): the bisection starts from there.
constexpr double score_reach = 40.0;
// Beyond this many standard deviations apart, every minority applicant
// scores on the same side of every majority applicant but with probability
// below n1 n0 Phi(-100 / sqrt 2), under 1e-1000 for any pool: each outcome
// probability is that of |esize| = 100 to far below every tolerance. The
// score range grows with |esize| (an esize of 1e6 took minutes, and 1e300
// asked for more nodes than an int holds), so esize is clamped to it.
constexpr double esize_reach = 100.0;

// 1e-13 relative leaves a wide margin under the 1e-12 that sums of outcomes
// need. The first step is 1 / sqrt(n1 + n0) (see direct_outcomes_kept), at
// least 16 intervals across the score range.
constexpr trapezoid_options quadrature{
    .epsrel = 1e-13, .epsabs = 1e-17, .intervals = 16, .halvings = 10};

// The pool's constants, and its ratio factors R(x) = P(x + 1) / P(x) and
// their inverses for x = xlo .. xhi - 1 (index x - xlo), set for the indices
// lo .. hi - 1 as the walks from the mode reach them: a pool of 10^5 hires
// reaches a few thousand, and computing every one cost more than its
// integral.
struct pool {
  int n1, n0, h, xlo, xhi;
  double esize;
  binom_trials b1, b0; // of the minority's and the majority's binomial factors
  double ln_n1, ln_n0; // for the tail bounds
  double *up, *down;   // R, 1 / R, in the work's buffers
  std::size_t lo = 0, hi = 0;
};

pool make_pool(int n1, int n0, int h, double esize, direct_work &work) {
  const int xlo = std::max(0, h - n0), xhi = std::min(h, n1);
  const auto count = static_cast<std::size_t>(xhi - xlo);
  for (std::vector<double> *v : {&work.up, &work.down})
    if (v->size() < count) v->resize(count);
  return {n1,
          n0,
          h,
          xlo,
          xhi,
          esize,
          binom_trials(n1),
          binom_trials(n0),
          std::log(n1),
          std::log(n0),
          work.up.data(),
          work.down.data()};
}

// R at index k as a quotient of counts: their products are below 2^53 and
// exact, so R is rounded once, and 1 / R from the same two products.
struct ratio_terms {
  double num, den;
};
ratio_terms ratio_at(const pool &p, std::size_t k) {
  const int x = p.xlo + static_cast<int>(k);
  return {static_cast<double>(p.n1 - x) * (p.h - x),
          static_cast<double>(x + 1) * (p.n0 - p.h + x + 1)};
}

// Sets the factors of the indices from .. to - 1, and of any between them
// and those set already.
void reach(pool &p, std::size_t from, std::size_t to) {
  const auto set = [&p](std::size_t a, std::size_t b) {
    for (std::size_t k = a; k < b; ++k) {
      const ratio_terms r = ratio_at(p, k);
      p.up[k] = r.num / r.den;
      p.down[k] = r.den / r.num;
    }
  };
  if (p.lo >= p.hi) {
    set(from, to);
    p.lo = from;
    p.hi = to;
    return;
  }
  if (from < p.lo) set(from, std::exchange(p.lo, from));
  if (to > p.hi) set(std::exchange(p.hi, to), to);
}

// Factors are set this many at a time as a walk goes beyond them.
constexpr std::size_t reach_step = 64;

// Writes the integrand at t of the outcomes whose density is not negligible
// there (index x - xlo) and says which it wrote: they run without a gap from
// the mode outward.
written_range outcome_densities(pool &p, double t, std::span<double> out) {
  const normal_tails m = normal_tails_at(t - p.esize), w = normal_tails_at(t);
  const double ln_q = (m.lnsf - m.lncdf) + (w.lncdf - w.lnsf);
  // q overflows only where the mode is xhi, and underflows only where it is
  // xlo: there the comparison still finds it, and the walk that would use q
  // does not run.
  const double q = std::exp(ln_q), q_inv = 1.0 / q;
  // The first falling factor: R decreases in x.
  std::size_t below = 0, above = static_cast<std::size_t>(p.xhi - p.xlo);
  while (below < above) {
    const std::size_t mid = below + (above - below) / 2;
    const ratio_terms r = ratio_at(p, mid);
    if (r.num / r.den >= q_inv)
      below = mid + 1;
    else
      above = mid;
  }
  const int mode = p.xlo + static_cast<int>(below);
  const double ln_g = ln_binom(mode, p.b1, m.sf, m.cdf, m.lnsf, m.lncdf) +
                      ln_binom(p.h - mode, p.b0, w.sf, w.cdf, w.lnsf, w.lncdf);
  if (ln_g < ln_negligible) return {0, 0};

  const double r1 = std::exp(m.lnpdf - m.lnsf), r0 = std::exp(w.lnpdf - w.lnsf);
  // The counts are stepped as doubles (exactly): converting x afresh at every
  // outcome would chain each step to the last through the conversion's
  // register.
  const double h = p.h;
  const auto put = [&](std::size_t k, double x, double g) { out[k] = g * (x * r1 + (h - x) * r0); };
  const auto at_mode = static_cast<std::size_t>(mode - p.xlo);
  const auto last = static_cast<std::size_t>(p.xhi - p.xlo);
  const double g_mode = std::exp(ln_g);
  put(at_mode, mode, g_mode);
  double g = g_mode, x = mode;
  std::size_t top = at_mode;
  for (std::size_t k = at_mode + 1; k <= last; ++k) {
    if (k - 1 >= p.hi || k - 1 < p.lo) reach(p, k - 1, std::min(last, k - 1 + reach_step));
    g *= p.up[k - 1] * q;
    x += 1.0;
    if (g < negligible) break;
    put(k, x, g);
    top = k;
  }
  g = g_mode;
  x = mode;
  std::size_t bottom = at_mode;
  for (std::size_t k = at_mode; k-- > 0;) {
    if (k >= p.hi || k < p.lo) reach(p, k >= reach_step ? k - reach_step : 0, k + 1);
    g *= p.down[k] * q_inv;
    x -= 1.0;
    if (g < negligible) break;
    put(k, x, g);
    bottom = k;
  }
  return {static_cast<int>(bottom), static_cast<int>(top) + 1};
}

double ln_sum(double a, double b) {
  const double hi = std::max(a, b), lo = std::min(a, b);
  return hi + std::log1p(std::exp(lo - hi));
}

// ln of Chernoff's bound e^-mu (e mu / k)^k on the chance of k or more
// successes in independent trials with mean count mu (0 when mu >= k).
double ln_chernoff(double k, double ln_mu) {
  const double mu = std::exp(ln_mu);
  if (mu >= k) return 0.0;
  return k - mu - k * (std::log(k) - ln_mu);
}

// Bounds on P(lowest hired > t): h or more score above t; and on
// P(lowest hired < t): n1 + n0 - h + 1 or more score below t.
double ln_above(const pool &p, double t) {
  const normal_tails m = normal_tails_at(t - p.esize), w = normal_tails_at(t);
  return ln_chernoff(p.h, ln_sum(p.ln_n1 + m.lnsf, p.ln_n0 + w.lnsf));
}
double ln_below(const pool &p, double t) {
  const normal_tails m = normal_tails_at(t - p.esize), w = normal_tails_at(t);
  return ln_chernoff(p.n1 + p.n0 - p.h + 1, ln_sum(p.ln_n1 + m.lncdf, p.ln_n0 + w.lncdf));
}

// The range of the lowest hired score outside which it lies with probability
// below 1e-21 on either side: every outcome's integrand is below the density
// of the lowest hired score, so none loses more than that. Bisection on the
// bounds, which are monotone in t.
struct range {
  double lo, hi;
};
range score_range(const pool &p) {
  const double bottom = std::min(0.0, p.esize) - score_reach;
  const double top = std::max(0.0, p.esize) + score_reach;
  const auto bisect = [](double inside, double outside, auto &&is_outside) {
    // From 80 + |esize| <= 180 wide to about 1e-3: the range only ever grows
    // by that much.
    for (int i = 0; i < 17; ++i) {
      const double mid = 0.5 * (inside + outside);
      (is_outside(mid) ? outside : inside) = mid;
    }
    return outside;
  };
  const double lo = bisect(top, bottom, [&](double t) { return ln_below(p, t) <= ln_tail_mass; });
  const double hi = bisect(bottom, top, [&](double t) { return ln_above(p, t) <= ln_tail_mass; });
  return {lo, hi};
}

} // namespace

direct_result direct_outcomes_kept(int n1, int n0, int h, double esize) {
  direct_work work;
  return direct_outcomes_kept(n1, n0, h, esize, work);
}

direct_result direct_outcomes_kept(int n1, int n0, int h, double esize, direct_work &work) {
  if (n1 <= 0 || n0 <= 0 || h < 0 || h > n1 + n0)
    throw std::invalid_argument("direct_pool: needs n1 > 0, n0 > 0, 0 <= h <= n1 + n0");
  direct_result r;
  r.xlo = std::max(0, h - n0);
  if (h == 0 || h == n1 + n0) { // everyone or no one is hired
    r.prob = {1.0};
    return r;
  }
  pool p = make_pool(n1, n0, h, std::clamp(esize, -esize_reach, esize_reach), work);
  const range lim = score_range(p);
  // In t, the logarithm of each outcome's density curves by at most about
  // n1 + n0 (each applicant's term by less than 1, the variance of a
  // truncated normal score): none is narrower than about 1 / sqrt(n1 + n0),
  // and a step of that size shows every one of them.
  trapezoid_options opt = quadrature;
  const double steps = (lim.hi - lim.lo) * std::sqrt(static_cast<double>(n1) + n0);
  opt.intervals = std::max(opt.intervals, static_cast<int>(std::ceil(steps)));
  trapezoid_result q =
      trapezoid([&](double t, std::span<double> out) { return outcome_densities(p, t, out); },
                p.xhi - p.xlo + 1, lim.lo, lim.hi, opt, work.integral);
  r.evaluations = q.evaluations;
  r.xlo = p.xlo + q.first;
  r.prob = q.value.empty() ? std::vector<double>{0.0} : std::move(q.value);
  r.accurate = q.converged;
  r.worst_error = q.worst;
  return r;
}

direct_result direct_pool(int n1, int n0, int h, double esize) {
  direct_result kept = direct_outcomes_kept(n1, n0, h, esize);
  direct_result r = kept;
  r.xlo = std::max(0, h - n0);
  const int outcomes = std::min(h, n1) - r.xlo + 1;
  r.prob.assign(static_cast<std::size_t>(outcomes), 0.0);
  std::copy(kept.prob.begin(), kept.prob.end(), r.prob.begin() + (kept.xlo - r.xlo));
  return r;
}
