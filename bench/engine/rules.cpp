// Cost of the adverse impact audit over every pool of a problem, to set
// against the cost of computing the pools' outcomes. The outcome
// probabilities are stand-ins (uniform within a pool, pools equally likely):
// the work depends on the pool sizes and alpha, not on the values.
// Figures only; nothing is asserted.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "engine/rules.h"

namespace {

struct pool_in {
  int xlo;
  std::vector<double> prob;
};

std::vector<pool_in> stand_in_pools(int ntot, int nhire) {
  std::vector<pool_in> pools;
  for (int n1 = 0; n1 <= ntot; ++n1) {
    const int xlo = std::max(0, nhire - (ntot - n1));
    const int count = std::min(nhire, n1) - xlo + 1;
    pools.push_back({xlo, std::vector<double>(count, 1.0 / count)});
  }
  return pools;
}

// Arguments: ntot, nhire, alpha in thousandths.
void BM_audit_tally(benchmark::State &state) {
  const int ntot = static_cast<int>(state.range(0));
  const int nhire = static_cast<int>(state.range(1));
  const double alpha = static_cast<double>(state.range(2)) / 1000.0;
  const std::vector<pool_in> pools = stand_in_pools(ntot, nhire);
  const double weight = 1.0 / (ntot + 1);
  std::int64_t outcomes = 0;
  for (const pool_in &p : pools)
    outcomes += static_cast<std::int64_t>(p.prob.size());
  for (auto _ : state) {
    audit_tally tally(ntot, nhire, alpha);
    for (int n1 = 0; n1 <= ntot; ++n1)
      tally.add_pool(n1, weight, pools[n1].xlo, pools[n1].prob);
    benchmark::DoNotOptimize(tally.result());
  }
  state.counters["outcomes"] = static_cast<double>(outcomes);
  state.counters["per_outcome"] = benchmark::Counter(static_cast<double>(outcomes),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}
BENCHMARK(BM_audit_tally)
    ->Args({200, 50, 50})
    ->Args({200, 50, 500})
    ->Args({2000, 400, 50})
    ->Args({2000, 400, 500})
    ->Unit(benchmark::kMillisecond);

} // namespace
