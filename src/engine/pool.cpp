// Hiring outcomes of one applicant pool.
//
// For each number j of majority hires the cumulative probability of at most j
// is one outer integral of fun. An estimate is checked against two tests - not
// above 1 (more than 5e-5 over is rejected, less is taken as 1), and not
// falling 4e-5 or more below its predecessor - and a rejected one is recomputed
// over a range narrowed by 0.1 at each end per rejection, up to a limit.
#include "engine/pool.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "engine/table.h"
#include "model/lnbeta.h"

namespace {

constexpr int subinterval_limit = 25000;
constexpr int above_one_limit = 25; // narrowing steps after an estimate above 1
constexpr int decrease_limit = 35;  // narrowing steps after a decreasing estimate

gsl_integration_workspace *make_workspace() {
  return gsl_integration_workspace_alloc(subinterval_limit);
}

enum class verdict { accept, accept_as_one, narrow, give_up };

verdict judge(double est, double prev, int t, int &ntry) {
  if (est > 1.0) {
    if (est - 1.0 <= 5e-5) return verdict::accept_as_one;
    return ++ntry > above_one_limit ? verdict::give_up : verdict::narrow;
  }
  if (t >= 2 && est <= prev - 4e-5)
    return ++ntry > decrease_limit ? verdict::give_up : verdict::narrow;
  return verdict::accept;
}

pool_event error_event(pool_event::kind what, int code) {
  pool_event e;
  e.what = what;
  e.code = code;
  return e;
}

pool_event accepted_as_one_event(int t, const parblk &pb, double stored, double raw) {
  pool_event e;
  e.what = pool_event::kind::accepted_as_one;
  e.t = t;
  e.smin = pb.smin;
  e.rmaj = pb.rmaj;
  e.stored = stored;
  e.raw = raw;
  return e;
}

// Integrates outcome t (j majority hires) until an estimate is accepted;
// returns false when the retry limits are passed.
bool cumulative(int t, double prev, pool_work &w, const gsl_function &f,
                std::vector<pool_event> &events, double &prob) {
  parblk &pb = w.ctx.pb;
  int ntry = 0;
  for (;;) {
    // The range follows from ntry directly, not from repeated steps of 0.1.
    const double xlo = -score_limit + 0.1 * ntry;
    const double xhi = score_limit - 0.1 * ntry;
    pb.blmin = dlbeta(pb.nmin - pb.smin + 1, pb.smin);
    double qres = 0.0;
    const int ier = integrate(f, xlo, xhi, 1e-8, 1e-7, w.outer.get(), qres);
    std::transform(w.ctx.inner_errors.begin(), w.ctx.inner_errors.end(), std::back_inserter(events),
                   [](int code) { return error_event(pool_event::kind::inner_error, code); });
    w.ctx.inner_errors.clear();
    if (ier != 0) events.push_back(error_event(pool_event::kind::abnormal_return, ier));
    prob = qres;
    switch (judge(qres, prev, t, ntry)) {
      case verdict::accept:
        return true;
      case verdict::accept_as_one:
        prob = 1.0;
        events.push_back(accepted_as_one_event(t, pb, prob, qres));
        return true;
      case verdict::narrow:
        break;
      case verdict::give_up:
        return false;
    }
  }
}

// Outcome probabilities and ratios from the cumulative values.
void outcomes(int nhire, int nmin, int nmaj, int jlo, const std::vector<double> &prob,
              pool_result &r) {
  const std::size_t nout = prob.size();
  r.ai.resize(nout);
  r.pvs.resize(nout);
  int ny = jlo;
  int nx = nhire - jlo;
  for (std::size_t t = 0; t < nout; ++t, ++ny, --nx) {
    r.pvs[t] = t == 0 ? prob[0] : prob[t] - prob[t - 1];
    r.ai[t] = outcome_ratio(nx, ny, nmin, nmaj);
  }
  r.fewest = nx + 1;
}

} // namespace

double outcome_ratio(int nx, int ny, int nmin, int nmaj) {
  const double sr1 = static_cast<double>(nx) / nmin;
  const double sr2 = static_cast<double>(ny) / nmaj;
  return sr1 != 0.0 ? sr2 / sr1 : UNDEF_AI;
}

pool_work::pool_work(double esize)
    : outer(make_workspace(), gsl_integration_workspace_free),
      inner(make_workspace(), gsl_integration_workspace_free) {
  ctx.pb.rs2pi = make_rs2pi();
  ctx.pb.esize = esize;
  ctx.inner = inner.get();
}

pool_result one_group_pool(int hires) {
  pool_result r;
  r.fewest = hires;
  r.ai = {UNDEF_AI};
  r.pvs = {1.0};
  return r;
}

pool_result pool_outcomes(int ntot, int nhire, int nmin, pool_work &w) {
  return pool_outcomes(ntot, nhire, nmin, w, &fun);
}

pool_result pool_outcomes(int ntot, int nhire, int nmin, pool_work &w,
                          double (*outer)(double, void *)) {
  if (nmin == 0 || nmin == ntot) return one_group_pool(nmin == ntot ? nhire : 0);
  pool_result r;
  const int nmaj = ntot - nmin;
  parblk &pb = w.ctx.pb;
  pb.nmin = nmin;
  pb.nmaj = nmaj;
  const int jlo = std::max(0, nhire - nmin);
  const int jhi = std::min(nhire, nmaj);
  const gsl_function f{outer, &w.ctx};

  std::vector<double> prob;
  prob.reserve(static_cast<std::size_t>(jhi - jlo) + 1);
  for (int j = jlo; j < jhi; ++j) {
    // An outcome's integrals take milliseconds even in pools of hundreds, so
    // a request to stop is seen promptly here, between outcomes.
    if (w.cancel && w.cancel->load(std::memory_order_relaxed)) {
      r.cancelled = true;
      return r;
    }
    const int t = static_cast<int>(prob.size()) + 1;
    pb.rmaj = nmaj - j;
    pb.smin = nmin - (nhire - j) + 1;
    const double prev = t >= 2 ? prob.back() : 0.0;
    if (t >= 2 && std::fabs(prev - 1.0) < 1e-6) {
      prob.push_back(1.0);
      continue;
    }
    pb.blmaj = dlbeta(nmaj - pb.rmaj + 1, pb.rmaj); // depends on the outcome only
    double p = 0.0;
    if (!cumulative(t, prev, w, f, r.events, p)) {
      r.gave_up = true;
      r.failed_t = t;
      r.failed_j = j;
      return r;
    }
    prob.push_back(p);
  }
  prob.push_back(1.0); // the last outcome is never integrated
  outcomes(nhire, nmin, nmaj, jlo, prob, r);
  return r;
}
