// Benchmarks of the direct method: one pool, the pools of a 200-applicant
// problem, one pool of 10000 applicants and 900 such pools. Figures only; nothing is
// asserted. The counters give integrand nodes per pool, which change only
// when the adaptive path does.
#include <benchmark/benchmark.h>

#include "engine/direct.h"

namespace {

void BM_direct_pool(benchmark::State &state) {
  int nodes = 0;
  for (auto _ : state) {
    const direct_result r = direct_pool(60, 140, 50, -0.5);
    nodes = r.evaluations;
    benchmark::DoNotOptimize(r.prob.data());
  }
  state.counters["nodes"] = nodes;
}
BENCHMARK(BM_direct_pool)->Unit(benchmark::kMicrosecond);

// The pools of 200 applicants with 50 hires, n1 from the first argument to
// the second: 1..199 is every possible pool, 20..110 those a problem with a
// minority proportion near 0.3 weighs.
void BM_direct_pools_200(benchmark::State &state) {
  const int first = static_cast<int>(state.range(0)), last = static_cast<int>(state.range(1));
  long nodes = 0;
  for (auto _ : state) {
    nodes = 0;
    for (int n1 = first; n1 <= last; ++n1) {
      const direct_result r = direct_pool(n1, 200 - n1, 50, -0.5);
      nodes += r.evaluations;
      benchmark::DoNotOptimize(r.prob.data());
    }
  }
  state.counters["pools"] = last - first + 1;
  state.counters["nodes_per_pool"] = static_cast<double>(nodes) / (last - first + 1);
}
BENCHMARK(BM_direct_pools_200)->Args({1, 199})->Args({20, 110})->Unit(benchmark::kMillisecond);

// 900 pools of 10000 applicants with 1000 hires, n1 = 2550 .. 3449: those
// within about 10 standard deviations of a minority proportion of 0.3.
void BM_direct_pools_10000(benchmark::State &state) {
  long nodes = 0;
  for (auto _ : state) {
    nodes = 0;
    for (int n1 = 2550; n1 < 3450; ++n1) {
      const direct_result r = direct_pool(n1, 10000 - n1, 1000, -0.5);
      nodes += r.evaluations;
      benchmark::DoNotOptimize(r.prob.data());
    }
  }
  state.counters["nodes_per_pool"] = static_cast<double>(nodes) / 900;
}
BENCHMARK(BM_direct_pools_10000)->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_direct_large_pool(benchmark::State &state) {
  int nodes = 0;
  for (auto _ : state) {
    const direct_result r = direct_pool(3000, 7000, 1000, -0.5);
    nodes = r.evaluations;
    benchmark::DoNotOptimize(r.prob.data());
  }
  state.counters["nodes"] = nodes;
}
BENCHMARK(BM_direct_large_pool)->Unit(benchmark::kMillisecond);

} // namespace
