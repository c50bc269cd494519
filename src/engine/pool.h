#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include <gsl/gsl_integration.h>

#include "model/integrands.h"
#include "torvan.h"

// Work storage of one computation: the parameters and one integration
// workspace per level. Reused for every pool the computation handles.
struct pool_work {
  explicit pool_work(double esize);
  pool_work(const pool_work &) = delete;
  pool_work &operator=(const pool_work &) = delete;

  model_ctx ctx;
  std::unique_ptr<gsl_integration_workspace, void (*)(gsl_integration_workspace *)> outer;
  std::unique_ptr<gsl_integration_workspace, void (*)(gsl_integration_workspace *)> inner;
  // When set, a pool stops before its next outcome and comes back cancelled.
  const std::atomic<bool> *cancel = nullptr;
};

// The hiring outcomes of one pool, in ascending number of majority hires.
struct pool_result {
  std::vector<double> ai;         // AI ratio of each outcome (UNDEF_AI when undefined)
  std::vector<double> pvs;        // probability of each outcome
  int fewest = 0;                 // minority hires of the last outcome
  std::vector<pool_event> events; // in the order they happened (nmin left 0 here)
  bool gave_up = false;           // an integral could not be accepted: no outcomes
  bool cancelled = false;         // stopped on request before its last outcome: no outcomes
  int failed_t = 0;               // which outcome (1-based) and how many majority hires
  int failed_j = 0;
};

// The AI ratio of nx minority and ny majority hires from a pool of nmin and
// nmaj: the majority's selection rate over the minority's, UNDEF_AI without
// a minority hire. Each rate is rounded before the division, as the candidate
// table forms its values, so the two agree bit for bit.
double outcome_ratio(int nx, int ny, int nmin, int nmaj);

// The one outcome of a pool without applicants of one group: an undefined
// ratio, with probability 1; `hires` minority hires (all of them or none).
pool_result one_group_pool(int hires);

// Outcomes of the pool with nmin minority applicants among ntot, nhire hired.
pool_result pool_outcomes(int ntot, int nhire, int nmin, pool_work &w);

// The same with another outer integrand, whose params must be &w.ctx (for
// checking the acceptance and narrowing rules with a known integrand).
pool_result pool_outcomes(int ntot, int nhire, int nmin, pool_work &w,
                          double (*outer)(double, void *));
