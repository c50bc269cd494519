#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/pool.h"

// Binomial probability of a pool with nmin minority applicants among ntot,
// for a minority proportion prop in the applicant population.
double pool_weight(int ntot, int nmin, double prop);

// Pools whose weight is below this are not computed.
inline constexpr double weight_cutoff = 1e-10;

// How the pool loop ended.
struct mix_status {
  bool gave_up = false; // an integral of pool nmin, outcome t (j majority hires) failed
  int nmin = 0;
  int t = 0;
  int j = 0;
  double skipped_weight = 0.0; // total weight of the pools below the cut-off
};

struct mix_options {
  int threads = 1; // pools computed at once, each on its own worker
  // Called on the calling thread as pools are added in, and now and then
  // while waiting: pools finished so far, pools to compute in all.
  std::function<void(int done, int total)> progress;
};

// Runs over every pool composition nmin = 0 ... ntot, computes the outcomes of
// each pool whose weight passes the cut-off and adds outcome probability times
// pool weight into pvai at the matching entry of vai. Pools may be computed
// in parallel, but `emit` sees every computed pool's result, and pvai receives
// its additions, in ascending nmin on the calling thread, exactly as one
// thread would: the sums, and so the report, do not depend on the thread
// count. The pool that gave up is emitted too; none after it is.
mix_status mix_pools(int ntot, int nhire, double esize, double prop, const std::vector<double> &vai,
                     std::vector<double> &pvai,
                     const std::function<void(const pool_result &)> &emit,
                     const mix_options &opt = {});

// Index of the first entry of vai within 1e-13 of ai, or vai.size() if none.
// vai is a candidate table: ascending and distinct, UNDEF_AI last.
std::size_t match_entry(const std::vector<double> &vai, double ai);

// Expected value, variance and standard deviation of the AI ratio given that
// it is defined; NaN when no probability lands on a defined value.
struct moments {
  double mean;
  double var;
  double sd;
};
moments ai_moments(const std::vector<double> &vai, const std::vector<double> &pvai);

// One report row per table entry, with the running cumulative probability.
std::string distribution_rows(const std::vector<double> &vai, const std::vector<double> &pvai);
