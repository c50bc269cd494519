// Micro-benchmarks of the hot path: the normal functions, the two integrands
// and one whole outer integral. Figures only; nothing is asserted.
#include <benchmark/benchmark.h>

#include "engine/pool.h"
#include "model/integrands.h"
#include "model/lnbeta.h"
#include "model/normal.h"

namespace {

// A central outcome of a pool of 100: 40 minority, 60 majority applicants, 20 hired.
struct outcome {
  outcome() : w(-1.0) {
    parblk &pb = w.ctx.pb;
    pb.nmin = 40;
    pb.nmaj = 60;
    pb.rmaj = 60 - 12; // 12 majority hires
    pb.smin = 40 - 8 + 1;
    pb.blmin = dlbeta(pb.nmin - pb.smin + 1, pb.smin);
    pb.blmaj = dlbeta(pb.nmaj - pb.rmaj + 1, pb.rmaj);
  }
  pool_work w;
};

void BM_phid(benchmark::State &state) {
  double x = -6.5;
  for (auto _ : state) {
    benchmark::DoNotOptimize(phid(x));
    x = x > 6.5 ? -6.5 : x + 0.01;
  }
}
BENCHMARK(BM_phid);

void BM_std_normal(benchmark::State &state) {
  const double rs2pi = make_rs2pi();
  double x = -6.5;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std_normal(x, rs2pi));
    x = x > 6.5 ? -6.5 : x + 0.01;
  }
}
BENCHMARK(BM_std_normal);

void BM_fu1(benchmark::State &state) {
  outcome o;
  double y = -6.5;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fu1(y, &o.w.ctx.pb));
    y = y > 6.5 ? -6.5 : y + 0.01;
  }
}
BENCHMARK(BM_fu1);

void BM_fun(benchmark::State &state) {
  outcome o;
  double x = -3.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fun(x, &o.w.ctx));
    x = x > 3.0 ? -3.0 : x + 0.1;
  }
}
BENCHMARK(BM_fun)->Unit(benchmark::kMicrosecond);

void BM_outer_integral(benchmark::State &state) {
  outcome o;
  const gsl_function f{&fun, &o.w.ctx};
  for (auto _ : state) {
    double q = 0.0;
    integrate(f, -6.5, 6.5, 1e-8, 1e-7, o.w.outer.get(), q);
    benchmark::DoNotOptimize(q);
  }
}
BENCHMARK(BM_outer_integral)->Unit(benchmark::kMillisecond);

} // namespace
