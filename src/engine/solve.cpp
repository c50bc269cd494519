// From a problem to its distribution: the checks at the edge, then the table
// and the pool loop.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include <gsl/gsl_errno.h>
#include <unistd.h>

#include "engine/check.h"
#include "engine/figures.h"
#include "engine/mixing.h"
#include "engine/rules.h"
#include "engine/shortest.h"
#include "engine/summary.h"
#include "engine/table.h"
#include "torvan.h"

namespace {

// The table and its accumulators take 16 bytes a candidate at most, and the
// direct method's compensated sums 8 more; a problem that would need more
// than half the machine's memory is refused before anything is allocated.
// Row numbers are 32-bit, which bounds the count too.
std::optional<std::string> too_large(const problem &p, ai_method method) {
  const std::int64_t count = candidate_count(p.ntot, p.nhire);
  const double need = (method == ai_method::direct ? 24.0 : 16.0) * static_cast<double>(count);
  const double have =
      static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGE_SIZE));
  if (count <= INT32_MAX && need <= have / 2) return std::nullopt;
  // The nested method's figures come from its table too, so only the direct
  // method has a way around it.
  const char *instead = method == ai_method::direct
                            ? "the figures without the rows need no table (the summary, JSON "
                              "without rows)"
                            : "the direct method's figures without the rows need no table "
                              "(--method direct with the summary or JSON without rows)";
  char msg[320];
  std::snprintf(msg, sizeof msg,
                "ntot = %d with nhire = %d needs a table of %lld candidate ratios (%.1f GiB), "
                "more than this machine can hold; %s",
                p.ntot, p.nhire, static_cast<long long>(count), need / (1 << 30), instead);
  return std::string(msg);
}

} // namespace

const char *method_name(ai_method m) {
  return m == ai_method::direct ? "direct" : "nested";
}

const char *event_kind_name(pool_event::kind k) {
  switch (k) {
    case pool_event::kind::inner_error:
      return "inner_error";
    case pool_event::kind::abnormal_return:
      return "abnormal_return";
    case pool_event::kind::accepted_as_one:
      return "accepted_as_one";
    case pool_event::kind::accuracy_shortfall:
      return "accuracy_shortfall";
  }
  return "unknown";
}

std::optional<ai_method> method_named(const std::string &name) {
  if (name == "nested") return ai_method::nested;
  if (name == "direct") return ai_method::direct;
  return std::nullopt;
}

namespace {

// Why the four values and the options cannot be computed, whatever is asked of them.
std::optional<std::string> input_refusal(const problem &p, const solve_options &opt) {
  char msg[256];
  const bool mixed = opt.minority < 0;
  if (p.ntot < 2)
    std::snprintf(msg, sizeof msg, "ntot = %d must be at least 2", p.ntot);
  else if (p.nhire < 0 || p.nhire > p.ntot)
    std::snprintf(msg, sizeof msg, "nhire = %d must lie between 0 and ntot = %d", p.nhire, p.ntot);
  else if (!std::isfinite(p.esize))
    std::snprintf(msg, sizeof msg, "esize = %g must be a finite number", p.esize);
  else if (mixed && !(p.prop > 0.0 && p.prop < 1.0))
    return "prop = " + shortest(p.prop) + " must lie strictly between 0 and 1";
  else if (!mixed && opt.minority > p.ntot)
    std::snprintf(msg, sizeof msg, "minority = %d must lie between 0 and ntot = %d", opt.minority,
                  p.ntot);
  else if (!(opt.alpha > 0.0 && opt.alpha < 1.0))
    return "alpha = " + shortest(opt.alpha) + " must lie strictly between 0 and 1";
  else
    return std::nullopt;
  return std::string(msg);
}

} // namespace

std::optional<std::string> figures_refusal(const problem &p, const solve_options &opt) {
  if (auto why = input_refusal(p, opt)) return why;
  const bool table = opt.minority < 0 && opt.method == ai_method::nested;
  return table ? too_large(p, opt.method) : std::nullopt;
}

std::optional<std::string> refusal(const problem &p, const solve_options &opt) {
  if (auto why = input_refusal(p, opt)) return why;
  return opt.minority < 0 ? too_large(p, opt.method) : std::nullopt;
}

namespace {

// What solve keeps of each pool besides the table: the events, the adverse
// impact rules and, when asked for, the joint distribution.
struct pool_sink {
  const problem &p;
  const solve_options &opt;
  solution &s;
  audit_tally tally;

  void operator()(int nmin, double weight, const pool_result &r) {
    for (pool_event e : r.events) {
      e.nmin = nmin;
      s.events.push_back(e);
    }
    if (r.gave_up) return;
    // The pool's outcomes run in ascending majority hires, so descending x.
    const int xlo = r.fewest;
    const std::vector<double> prob(r.pvs.rbegin(), r.pvs.rend());
    tally.add_pool(nmin, weight, xlo, prob);
    if (!opt.keep_joint) return;
    for (std::size_t k = 0; k < prob.size(); ++k)
      if (prob[k] * weight != 0.0)
        s.joint.push_back({nmin, xlo + static_cast<int>(k), prob[k] * weight});
  }
};

// The integrators' status codes are what the pools read; GSL's default
// handler would abort the whole process - the program, or the Python or R
// session - instead. Its handler is process-wide, so it is set once.
void gsl_errors_off() {
  static std::once_flag errors_off;
  std::call_once(errors_off, [] { gsl_set_error_handler_off(); });
}

// The nested solution s against the direct method's table of the same
// problem. A direct computation cancelled leaves s cancelled: unchecked, it
// is not to be shown.
void check_nested(const problem &p, const solve_options &opt, solution &s) {
  solve_options direct = opt;
  direct.method = ai_method::direct;
  direct.keep_joint = false;
  direct.progress = nullptr;
  if (refusal(p, direct)) return;
  const solution d = solve(p, direct);
  s.status.cancelled = d.status.cancelled;
  if (completed(d.status)) s.check = compare_cumulative(s.pvai, d.pvai);
}

} // namespace

solution solve(const problem &p, const solve_options &opt) {
  gsl_errors_off();
  solution s;
  s.method = opt.method;
  s.vai = opt.minority >= 0 ? pool_table(p.ntot, p.nhire, opt.minority)
                            : candidate_table(p.ntot, p.nhire);
  s.pvai.assign(s.vai.size(), 0.0);
  pool_sink sink{p, opt, s, audit_tally(p.ntot, p.nhire, opt.alpha, opt.method)};
  const mix_options mo{opt.threads, opt.method, opt.minority, opt.progress, opt.cancel};
  s.status = mix_pools(p.ntot, p.nhire, p.esize, p.prop, s.vai, s.pvai, std::ref(sink), mo);
  s.adverse_impact = sink.tally.result();
  if (opt.method == ai_method::nested && completed(s.status)) check_nested(p, opt, s);
  return s;
}

ai_summary summarize(const solution &s) {
  return summarize(s.vai, s.pvai, s.method);
}

figures solve_figures(const problem &p, const solve_options &opt) {
  gsl_errors_off();
  if (opt.method == ai_method::direct) return direct_figures(p, opt);
  // The nested method's cost is in its pools: it keeps the table.
  return figures_of(solve(p, opt));
}

figures solve_rule_figures(const problem &p, const solve_options &opt) {
  gsl_errors_off();
  if (opt.method == ai_method::direct) return direct_rule_figures(p, opt);
  return figures_of(solve(p, opt));
}

figures figures_of(const solution &s) {
  return {s.method, summarize(s), s.adverse_impact, s.status, s.events, 0.0, s.check};
}
