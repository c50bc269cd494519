// Mixing over pool compositions and the summary of the distribution.
#include "engine/mixing.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "driver/report.h"
#include "engine/table.h"
#include "model/special.h"

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

std::vector<pool_job> pools_to_compute(int ntot, double prop) {
  std::vector<pool_job> jobs;
  for (int nmin = 0; nmin <= ntot; ++nmin) {
    const double w = pool_weight(ntot, nmin, prop);
    if (!(weight_cutoff > w)) jobs.push_back({nmin, w}); // a NaN weight is not skipped
  }
  return jobs;
}

using merge_fn = std::function<bool(const pool_job &, const pool_result &)>;

void compute_serially(const std::vector<pool_job> &jobs, int ntot, int nhire, double esize,
                      const merge_fn &merge, const mix_options &opt) {
  pool_work w(esize);
  const int total = static_cast<int>(jobs.size());
  for (int i = 0; i < total; ++i) {
    const pool_result r = pool_outcomes(ntot, nhire, jobs[i].nmin, w);
    if (opt.progress) opt.progress(i + 1, total);
    if (!merge(jobs[i], r)) return;
  }
}

// Workers take the pools in ascending order as they come free (the central
// pools cost most, so a fixed split would leave workers idle); the calling
// thread merges the results strictly in that order.
void compute_in_parallel(const std::vector<pool_job> &jobs, int ntot, int nhire, double esize,
                         const merge_fn &merge, const mix_options &opt) {
  const int total = static_cast<int>(jobs.size());
  std::vector<std::optional<pool_result>> done(jobs.size());
  std::mutex m;
  std::condition_variable cv;
  std::atomic<int> next{0};
  std::atomic<bool> stop{false};
  int finished = 0;

  const auto work = [&] {
    pool_work w(esize);
    for (int i; !stop && (i = next++) < total;) {
      pool_result r = pool_outcomes(ntot, nhire, jobs[i].nmin, w);
      {
        const std::lock_guard lock(m);
        done[i] = std::move(r);
        ++finished;
      }
      cv.notify_all();
    }
  };
  std::vector<std::jthread> workers;
  for (int k = 0; k < std::min(opt.threads, total); ++k)
    workers.emplace_back(work);

  for (int i = 0; i < total; ++i) {
    std::unique_lock lock(m);
    while (!cv.wait_for(lock, std::chrono::milliseconds(250), [&] { return done[i].has_value(); }))
      if (opt.progress) opt.progress(finished, total);
    const pool_result r = std::move(*done[i]);
    done[i].reset();
    const int now = finished;
    lock.unlock();
    if (opt.progress) opt.progress(now, total);
    if (!merge(jobs[i], r)) {
      stop = true;
      return; // the workers finish the pools they hold and are joined
    }
  }
}

} // namespace

mix_status mix_pools(int ntot, int nhire, double esize, double prop, const std::vector<double> &vai,
                     std::vector<double> &pvai,
                     const std::function<void(const pool_result &)> &emit, const mix_options &opt) {
  mix_status status;
  const merge_fn merge = [&](const pool_job &job, const pool_result &r) {
    emit(r);
    if (r.gave_up) {
      status = {true, job.nmin, r.failed_t, r.failed_j};
      return false;
    }
    for (std::size_t t = 0; t < r.ai.size(); ++t) {
      const std::size_t i = match_entry(vai, r.ai[t]);
      if (i < vai.size()) pvai[i] += r.pvs[t] * job.weight; // product first, then the sum
    }
    return true;
  };
  const std::vector<pool_job> jobs = pools_to_compute(ntot, prop);
  if (opt.threads > 1)
    compute_in_parallel(jobs, ntot, nhire, esize, merge, opt);
  else
    compute_serially(jobs, ntot, nhire, esize, merge, opt);
  return status;
}

moments ai_moments(const std::vector<double> &vai, const std::vector<double> &pvai) {
  double pdef = 0.0;
  double s1 = 0.0;
  for (std::size_t i = 0; i < vai.size(); ++i) {
    if (vai[i] == UNDEF_AI) continue;
    pdef += pvai[i];
    s1 += vai[i] * pvai[i];
  }
  const double mean = s1 / pdef;
  double s2 = 0.0;
  for (std::size_t i = 0; i < vai.size(); ++i) {
    if (vai[i] == UNDEF_AI) continue;
    const double dv = vai[i] - mean;
    s2 += dv * dv * pvai[i];
  }
  const double var = s2 / pdef;
  return {mean, var, std::sqrt(var)};
}

std::string distribution_rows(const std::vector<double> &vai, const std::vector<double> &pvai) {
  std::string out;
  out.reserve(54 * vai.size());
  double cpvai = 0.0;
  for (std::size_t i = 0; i < vai.size(); ++i) {
    cpvai += pvai[i];
    out += row_line(static_cast<int>(i + 1), vai[i], pvai[i], cpvai);
  }
  return out;
}
