// Mixing over pool compositions and the summary of the distribution.
#include "engine/mixing.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "engine/direct.h"
#include "engine/ordered.h"
#include "engine/table.h"
#include "model/compensated.h"
#include "model/lnbeta.h"
#include "model/lnbinom.h"

double pool_weight(int ntot, int nmin, double prop) {
  const double lp1 = std::log(prop) * nmin;
  const double lp2 = std::log(1.0 - prop) * (ntot - nmin);
  const double a = ntot + 1.0;
  const double b = nmin + 1.0;
  const double c = a - b + 1.0;
  // Added in this order: the weights' last bits reach the cumulative column.
  return std::exp(((dlngam(a) - dlngam(b)) - dlngam(c)) + lp1 + lp2);
}

std::size_t match_entry(const std::vector<double> &vai, double ai) {
  if (vai.empty()) return 0;
  // ai - v falls as v rises, so the entries within reach form one run and the
  // first of them is the first entry with ai - v below 1e-13. The sentinel
  // comes last whatever its value, so it is tried after the sorted part.
  const auto sorted_end = vai.end() - 1;
  const auto it =
      std::partition_point(vai.begin(), sorted_end, [ai](double v) { return ai - v >= 1e-13; });
  if (it != sorted_end && std::fabs(ai - *it) < 1e-13)
    return static_cast<std::size_t>(it - vai.begin());
  return std::fabs(ai - vai.back()) < 1e-13 ? vai.size() - 1 : vai.size();
}

namespace {

struct pool_job {
  int nmin;
  double weight;
};

// The direct method's pools: the binomial weights from the mode outward on
// either side while they pass the cut-off. Past it they only fall (the
// binomial distribution is log-concave), and are added into `skipped` until
// the next would not change the sum: a few dozen standard deviations, however
// many compositions lie beyond.
std::vector<pool_job> direct_pools(int ntot, double prop, double &skipped) {
  const int mode = std::min(ntot, static_cast<int>(std::floor((ntot + 1.0) * prop)));
  std::vector<pool_job> below, above;
  compensated_sum beyond;
  const auto walk = [&](int from, int step, std::vector<pool_job> &kept) {
    int k = from;
    for (; k >= 0 && k <= ntot; k += step) {
      const double w = binom_probability(k, ntot, prop);
      if (direct_weight_cutoff > w) break;
      kept.push_back({k, w});
    }
    for (; k >= 0 && k <= ntot; k += step) {
      const double w = binom_probability(k, ntot, prop);
      if (w <= 1e-17 * beyond.value()) break;
      beyond.add(w);
    }
  };
  walk(mode - 1, -1, below);
  walk(mode, +1, above);
  skipped = beyond.value();
  std::reverse(below.begin(), below.end());
  below.insert(below.end(), above.begin(), above.end());
  return below;
}

// The pools whose weight passes the cut-off, and the weight of the others.
// The nested method keeps the weights of the classic report, from ln Gamma
// differences, and looks at every composition.
std::vector<pool_job> pools_to_compute(int ntot, double prop, const mix_options &opt,
                                       double &skipped) {
  std::vector<pool_job> jobs;
  skipped = 0.0;
  if (opt.minority >= 0) return {{opt.minority, 1.0}};
  if (opt.method == ai_method::direct) return direct_pools(ntot, prop, skipped);
  for (int nmin = 0; nmin <= ntot; ++nmin) {
    const double w = pool_weight(ntot, nmin, prop);
    if (weight_cutoff > w)
      skipped += w;
    else
      jobs.push_back({nmin, w}); // a NaN weight is not skipped
  }
  return jobs;
}

// The direct method's probabilities, in the nested method's order: ascending
// majority hires, with the same ratios.
pool_result direct_outcomes(int ntot, int nhire, int nmin, double esize, direct_work &work) {
  if (nmin == 0 || nmin == ntot) return one_group_pool(nmin == ntot ? nhire : 0);
  pool_result r;
  const int nmaj = ntot - nmin;
  const direct_result d = direct_outcomes_kept(nmin, nmaj, nhire, esize, work);
  r.fewest = d.xlo;
  for (std::size_t k = d.prob.size(); k-- > 0;) {
    const int nx = d.xlo + static_cast<int>(k);
    r.ai.push_back(outcome_ratio(nx, nhire - nx, nmin, nmaj));
    r.pvs.push_back(d.prob[k]);
  }
  if (!d.accurate)
    r.events.push_back({.what = pool_event::kind::accuracy_shortfall, .raw = d.worst_error});
  return r;
}

} // namespace

mix_status run_pools(int ntot, int nhire, double esize, double prop,
                     const std::function<void(int nmin, double weight, const pool_result &)> &take,
                     const mix_options &opt) {
  mix_status status;
  const std::vector<pool_job> jobs = pools_to_compute(ntot, prop, opt, status.skipped_weight);
  const int total = static_cast<int>(jobs.size());
  const int threads = std::max(1, std::min(opt.threads, total));
  // Two integration workspaces of 25000 subintervals per worker for the
  // nested method; the direct method's buffers, one set per worker.
  std::vector<std::unique_ptr<pool_work>> work;
  std::vector<direct_work> direct(
      opt.method == ai_method::direct ? static_cast<std::size_t>(threads) : 0);
  if (opt.method == ai_method::nested)
    for (int k = 0; k < threads; ++k)
      work.push_back(std::make_unique<pool_work>(esize));
  for (const auto &w : work)
    w->cancel = opt.cancel;
  const auto cancelled = [&] { return opt.cancel && opt.cancel->load(std::memory_order_relaxed); };

  const auto compute = [&](int worker, int i) {
    if (cancelled()) { // the pools not yet started come back at once, in order
      pool_result r;
      r.cancelled = true;
      return r;
    }
    if (opt.method == ai_method::direct)
      return direct_outcomes(ntot, nhire, jobs[i].nmin, esize, direct[worker]);
    return pool_outcomes(ntot, nhire, jobs[i].nmin, *work[worker]);
  };
  const auto hand_over = [&](int i, pool_result &r) {
    if (r.cancelled) {
      status.cancelled = true;
      return false;
    }
    take(jobs[i].nmin, jobs[i].weight, r);
    if (!r.gave_up) return true;
    status.gave_up = true;
    status.nmin = jobs[i].nmin;
    status.t = r.failed_t;
    status.j = r.failed_j;
    return false;
  };
  const auto progress = [&](int finished) {
    if (opt.progress) opt.progress(finished, total);
  };
  ordered_parallel<pool_result>(total, threads, compute, hand_over, progress);
  return status;
}

mix_status mix_pools(int ntot, int nhire, double esize, double prop, const std::vector<double> &vai,
                     std::vector<double> &pvai,
                     const std::function<void(int nmin, double weight, const pool_result &)> &emit,
                     const mix_options &opt) {
  // The direct method's entries are added up with compensation: the undefined
  // ratio and the common ones gather a term from nearly every pool, thousands
  // of roundings in a plain sum. The nested method keeps the plain sum, whose
  // last digits are the classic report's.
  const bool compensated = opt.method == ai_method::direct;
  std::vector<double> carry(compensated ? pvai.size() : 0);
  const auto merge = [&](int nmin, double weight, const pool_result &r) {
    emit(nmin, weight, r);
    if (r.gave_up) return;
    for (std::size_t t = 0; t < r.ai.size(); ++t) {
      const std::size_t e = match_entry(vai, r.ai[t]);
      if (e == vai.size()) continue;
      const double q = r.pvs[t] * weight; // product first, then the sum
      if (compensated)
        add_compensated(pvai[e], carry[e], q);
      else
        pvai[e] += q;
    }
  };
  const mix_status status = run_pools(ntot, nhire, esize, prop, merge, opt);
  for (std::size_t e = 0; e < carry.size(); ++e)
    pvai[e] += carry[e];
  return status;
}
