// Benchmarks of torvan audit --groups: six groups of 10 000 applicants each,
// every pairwise audit with its implied esize and exact interval, Holm's
// adjustment, the chi-square and the exact overall test where it runs (goal:
// under 0.5 s); and six groups of a few hundred, where the exact test does
// run. Figures only; nothing is asserted. The counters give the exact test's
// cells visited and whether it ran.
#include <benchmark/benchmark.h>

#include <vector>

#include "torvan.h"

namespace {

std::vector<group_counts> six(int applicants, const int (&hires)[6]) {
  std::vector<group_counts> g;
  for (int i = 0; i < 6; ++i)
    g.push_back({std::string(1, static_cast<char>('A' + i)), applicants, hires[i]});
  return g;
}

void BM_audit_groups(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const int rates[6] = {30, 31, 29, 30, 32, 28}; // per cent, about the pooled 30
  int hires[6];
  for (int i = 0; i < 6; ++i)
    hires[i] = n * rates[i] / 100 + (i % 2 == 0 ? 1 : -1);
  const std::vector<group_counts> groups = six(n, hires);
  groups_audit g;
  for (auto _ : state) {
    g = audit_groups(groups);
    benchmark::DoNotOptimize(g.chi_square);
  }
  state.SetLabel("6 groups of " + std::to_string(n));
  state.counters["exact_cells"] = static_cast<double>(g.exact_work);
  state.counters["exact_ran"] = g.exact_p.value ? 1 : 0;
}
BENCHMARK(BM_audit_groups)
    ->Arg(100)
    ->Arg(300)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);

} // namespace
