// The figures of a problem from its pools' outcomes, without the table.
#include "engine/figures.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "engine/mixing.h"
#include "engine/rules.h"
#include "engine/summary.h"
#include "engine/table.h"
#include "model/compensated.h"

namespace {

struct outcome {
  double ai;
  double prob;
};

// Sorts the outcomes, given as runs each in ascending order (run r from
// starts[r] to starts[r + 1], the last to the end), by merging neighbouring
// runs pairwise: the pools' runs come sorted, so this costs log2(pools)
// passes, not a sort's log2(outcomes). Stable: equal ratios stay in pool order.
void merge_runs(std::vector<outcome> &kept, std::vector<std::size_t> starts) {
  const auto by_ai = [](const outcome &a, const outcome &b) { return a.ai < b.ai; };
  const auto at = [](std::vector<outcome> &v, std::size_t i) {
    return v.begin() + static_cast<std::ptrdiff_t>(i);
  };
  std::vector<outcome> merged(kept.size());
  starts.push_back(kept.size());
  while (starts.size() > 2) {
    std::vector<std::size_t> next;
    for (std::size_t r = 0; r + 1 < starts.size(); r += 2) {
      const std::size_t lo = starts[r], mid = starts[r + 1];
      const std::size_t hi = r + 2 < starts.size() ? starts[r + 2] : mid;
      std::merge(at(kept, lo), at(kept, mid), at(kept, mid), at(kept, hi), at(merged, lo), by_ai);
      next.push_back(lo);
    }
    next.push_back(kept.size());
    kept.swap(merged);
    starts = std::move(next);
  }
}

// The defined outcomes, sorted, equal ratios merged, in ascending order, each
// value's probability summed with compensation; the undefined probability
// last, as the table's last entry.
void merge_equal(const std::vector<outcome> &kept, double undefined, std::vector<double> &vai,
                 std::vector<double> &pvai) {
  std::vector<double> carry;
  for (std::vector<double> *v : {&vai, &pvai, &carry})
    v->reserve(kept.size() + 1);
  for (const outcome &o : kept) {
    if (vai.empty() || vai.back() != o.ai) {
      vai.push_back(o.ai);
      pvai.push_back(0.0);
      carry.push_back(0.0);
    }
    add_compensated(pvai.back(), carry.back(), o.prob);
  }
  for (std::size_t e = 0; e < carry.size(); ++e)
    pvai[e] += carry[e];
  vai.push_back(UNDEF_AI);
  pvai.push_back(undefined);
}

// What the rules, P(undefined) and P(AI > 1.25) take from each pool, summed
// as the pools come in (ascending nmin), and the pool's events; with `kept`,
// also the defined outcomes for the rest of the figures.
struct pool_sums {
  pool_sums(const problem &p, double alpha) : tally(p.ntot, p.nhire, alpha, ai_method::direct) {}

  audit_tally tally;
  compensated_sum undefined, above, skipped;
  std::vector<pool_event> events;
  std::vector<outcome> *kept = nullptr;
  std::vector<std::size_t> runs; // where each pool's outcomes start in *kept

  void operator()(int nmin, double weight, const pool_result &r) {
    for (pool_event e : r.events) {
      e.nmin = nmin;
      events.push_back(e);
    }
    // The pool's outcomes run in ascending majority hires, so descending x.
    tally.add_pool(nmin, weight, r.fewest, std::vector<double>(r.pvs.rbegin(), r.pvs.rend()));
    // Its defined ratios rise with the majority hires: each pool adds one
    // ascending run.
    if (kept) runs.push_back(kept->size());
    for (std::size_t t = 0; t < r.ai.size(); ++t) {
      const double q = r.pvs[t] * weight; // product first, as the table adds it
      if (r.ai[t] == UNDEF_AI) {
        undefined.add(q);
      } else if (q >= outcome_cutoff) {
        if (beyond_five_fourths(r.ai[t])) above.add(q);
        if (kept) kept->push_back({r.ai[t], q});
      } else {
        skipped.add(q);
      }
    }
  }
};

// The pools of the problem into `sums`; the figures that come from the sums.
figures run_sums(const problem &p, const solve_options &opt, pool_sums &sums) {
  figures f;
  f.method = ai_method::direct;
  const mix_options mo{opt.threads, ai_method::direct, opt.minority, opt.progress, opt.cancel};
  f.status = run_pools(p.ntot, p.nhire, p.esize, p.prop, std::ref(sums), mo);
  f.adverse_impact = sums.tally.result();
  f.events = std::move(sums.events);
  f.skipped_outcome_weight = sums.skipped.value();
  return f;
}

// P(AI > 1.25) and P(undefined) as the sums over the pools have them.
void put_pool_sums(const pool_sums &sums, ai_summary &s) {
  s.p_undefined = sums.undefined.value();
  s.p_above = sums.above.value();
}

} // namespace

figures direct_figures(const problem &p, const solve_options &opt) {
  std::vector<outcome> kept;
  pool_sums sums(p, opt.alpha);
  sums.kept = &kept;
  figures f = run_sums(p, opt, sums);
  std::vector<double> vai, pvai;
  merge_runs(kept, std::move(sums.runs));
  merge_equal(kept, sums.undefined.value(), vai, pvai);
  kept.clear();
  kept.shrink_to_fit(); // its memory back before the summary takes its own
  f.summary = summarize(vai, pvai, ai_method::direct);
  put_pool_sums(sums, f.summary);
  // The table would hold each percentile's outcomes under its entry, the
  // first value within 1e-13 below: the same figure, to its last bit. The
  // percentile reached there is the same one (the entries merge only
  // outcomes that are neighbours in ratio).
  for (double *q : {&f.summary.p5, &f.summary.p25, &f.summary.p50, &f.summary.p75, &f.summary.p95})
    if (!std::isnan(*q)) *q = table_entry_of(p.ntot, p.nhire, opt.minority, *q);
  return f;
}

figures direct_rule_figures(const problem &p, const solve_options &opt) {
  pool_sums sums(p, opt.alpha);
  figures f = run_sums(p, opt, sums);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  f.summary = {nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan};
  put_pool_sums(sums, f.summary);
  return f;
}
