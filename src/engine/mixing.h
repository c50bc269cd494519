#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include "engine/pool.h"

// Binomial probability of a pool with nmin minority applicants among ntot,
// for a minority proportion prop in the applicant population.
double pool_weight(int ntot, int nmin, double prop);

// Pools whose weight is below this are not computed: the nested method's
// cut-off, and the direct method's, far below the 1e-16 to which it keeps
// every probability (ntot + 1 skipped pools stay below that in all).
inline constexpr double weight_cutoff = 1e-10;
inline constexpr double direct_weight_cutoff = 1e-22;

struct mix_options {
  int threads = 1; // pools computed at once, each on its own worker
  ai_method method = ai_method::nested;
  int minority = -1; // >= 0: only the pool with this many minority applicants, weight 1
  // Called on the calling thread as pools are added in, and now and then
  // while waiting: pools finished so far, pools to compute in all.
  std::function<void(int done, int total)> progress;
  const std::atomic<bool> *cancel = nullptr; // when set: stop, and say so in the status
};

// Runs over the pool compositions (or the one known pool) and computes each
// pool whose weight passes the cut-off. Pools may be computed in parallel,
// but `take` sees every computed pool's result in ascending nmin on the
// calling thread, exactly as one thread would. The pool that gave up is
// handed over too; none after it is.
mix_status run_pools(int ntot, int nhire, double esize, double prop,
                     const std::function<void(int nmin, double weight, const pool_result &)> &take,
                     const mix_options &opt = {});

// Runs over every pool composition nmin = 0 ... ntot (or the one known pool),
// computes the outcomes of each pool whose weight passes the cut-off and adds
// outcome probability times pool weight into pvai at the matching entry of
// vai. Pools may be computed
// in parallel, but `emit` sees every computed pool's result, and pvai receives
// its additions, in ascending nmin on the calling thread, exactly as one
// thread would: the sums, and so the report, do not depend on the thread
// count. The pool that gave up is emitted too; none after it is. Once the
// cancel flag is set no further pool is computed or emitted, and unless every
// pool was already added the status says cancelled.
mix_status mix_pools(int ntot, int nhire, double esize, double prop, const std::vector<double> &vai,
                     std::vector<double> &pvai,
                     const std::function<void(int nmin, double weight, const pool_result &)> &emit,
                     const mix_options &opt = {});

// Index of the first entry of vai within 1e-13 of ai, or vai.size() if none.
// vai is a candidate table: ascending and distinct, UNDEF_AI last.
std::size_t match_entry(const std::vector<double> &vai, double ai);
