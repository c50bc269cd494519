// Benchmarks of torvan audit: one audit, the implied esize and its exact
// interval included, for pools up to 10 000 applicants (goal: under 50 ms
// each), and an events file of 1 000 events (goal: under 10 s). Figures
// only; nothing is asserted. The counters give the outcome distributions
// computed, which change only when a search's path does.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

#include "torvan.h"

namespace {

// N1, X, N0, Y by argument: typical, a small minority, a large even pool.
const selection_counts tables[] = {{50, 5, 150, 30},         {300, 30, 700, 120},
                                   {1000, 10, 9000, 490},    {3000, 200, 7000, 800},
                                   {5000, 1500, 5000, 2000}, {5000, 2500, 5000, 2500}};

void BM_audit(benchmark::State &state) {
  const selection_counts c = tables[state.range(0)];
  int evaluations = 0;
  for (auto _ : state) {
    const selection_audit a = audit_selection(c);
    evaluations = a.esize.pool_evaluations;
    benchmark::DoNotOptimize(a.esize.mle.value);
  }
  state.SetLabel(std::to_string(c.minority_applicants) + " " + std::to_string(c.minority_hires) +
                 " " + std::to_string(c.majority_applicants) + " " +
                 std::to_string(c.majority_hires));
  state.counters["distributions"] = evaluations;
}
BENCHMARK(BM_audit)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

// 1 000 events of 100 to 600 applicants, a fifth to a third of them hired,
// drawn from the model with esize -0.3.
std::vector<selection_event> events_of(int count) {
  std::mt19937 g(11);
  std::normal_distribution<double> score(0.0, 1.0);
  std::vector<selection_event> events;
  for (int i = 0; i < count; ++i) {
    const int n1 = 20 + static_cast<int>(g() % 100), n0 = 80 + static_cast<int>(g() % 400);
    const int h = (n1 + n0) / (3 + static_cast<int>(g() % 3));
    std::vector<std::pair<double, int>> pool;
    for (int k = 0; k < n1 + n0; ++k)
      pool.emplace_back(score(g) + (k < n1 ? -0.3 : 0.0), k < n1);
    std::partial_sort(pool.begin(), pool.begin() + h, pool.end(), std::greater<>());
    int x = 0;
    for (int k = 0; k < h; ++k)
      x += pool[static_cast<std::size_t>(k)].second;
    events.push_back({std::to_string(i), {n1, x, n0, h - x}});
  }
  return events;
}

void BM_audit_events(benchmark::State &state) {
  const std::vector<selection_event> events = events_of(static_cast<int>(state.range(0)));
  int common = 0;
  for (auto _ : state) {
    const events_audit e = audit_events(events);
    common = e.common.pool_evaluations;
    benchmark::DoNotOptimize(e.common.mle.value);
  }
  state.counters["common_distributions"] = common;
}
BENCHMARK(BM_audit_events)->Arg(100)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
