// The R side of the library: one problem in, its distribution out, as the
// plain vectors R/torvan.R turns into the package's objects.
#include <Rcpp.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "interrupt.h"
#include "torvan.h"

namespace {

// The method and the rules' level as the library takes them, or why not.
std::optional<std::string> options_from(const std::string &method, int minority, double alpha,
                                        int threads, solve_options &opt) {
  const std::optional<ai_method> m = method_named(method);
  if (!m) return "method must be nested or direct, not '" + method + "'";
  opt.method = *m;
  opt.minority = minority;
  opt.alpha = alpha;
  opt.threads =
      threads >= 1 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  return std::nullopt;
}

Rcpp::List event_columns(const std::vector<pool_event> &events) {
  const auto n = static_cast<R_xlen_t>(events.size());
  Rcpp::CharacterVector kind(n);
  Rcpp::IntegerVector nmin(n), code(n), t(n), smin(n), rmaj(n);
  Rcpp::NumericVector stored(n), raw(n);
  for (R_xlen_t i = 0; i < n; ++i) {
    const pool_event &e = events[static_cast<std::size_t>(i)];
    kind[i] = event_kind_name(e.what);
    nmin[i] = e.nmin;
    code[i] = e.code;
    t[i] = e.t;
    smin[i] = e.smin;
    rmaj[i] = e.rmaj;
    stored[i] = e.stored;
    raw[i] = e.raw;
  }
  return Rcpp::List::create(Rcpp::Named("kind") = kind, Rcpp::Named("nmin") = nmin,
                            Rcpp::Named("code") = code, Rcpp::Named("t") = t,
                            Rcpp::Named("smin") = smin, Rcpp::Named("rmaj") = rmaj,
                            Rcpp::Named("stored") = stored, Rcpp::Named("raw") = raw);
}

// The table with the command line's running sum: the same additions in the
// same order give the same cumulative digits.
Rcpp::List table_columns(const solution &s) {
  const auto n = static_cast<R_xlen_t>(s.vai.size());
  Rcpp::NumericVector ai(n), probability(n), cumulative(n);
  Rcpp::LogicalVector defined(n);
  running_total cum{s.method};
  for (R_xlen_t i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    defined[i] = s.vai[k] != UNDEF_AI;
    ai[i] = defined[i] ? s.vai[k] : NA_REAL;
    probability[i] = s.pvai[k];
    cumulative[i] = cum.add(s.pvai[k]);
  }
  return Rcpp::List::create(Rcpp::Named("ai") = ai, Rcpp::Named("defined") = defined,
                            Rcpp::Named("probability") = probability,
                            Rcpp::Named("cumulative") = cumulative);
}

Rcpp::List summary_values(const ai_summary &m, const audit &a) {
  using Rcpp::Named;
  using Rcpp::NumericVector;
  return Rcpp::List::create(
      Named("moments") = NumericVector::create(Named("mean") = m.mean, Named("variance") = m.var,
                                               Named("sd") = m.sd),
      Named("p_undefined") = m.p_undefined,
      Named("undefined") =
          NumericVector::create(Named("no_minority_hired") = a.undefined_no_minority_hired,
                                Named("group_absent") = a.undefined_group_absent),
      Named("p_above_1_25") = m.p_above, Named("p_below_0_8") = m.p_below,
      Named("percentiles") =
          NumericVector::create(Named("p5") = m.p5, Named("p25") = m.p25, Named("p50") = m.p50,
                                Named("p75") = m.p75, Named("p95") = m.p95),
      Named("adverse_impact") = NumericVector::create(
          Named("alpha") = a.alpha, Named("no_comparison") = a.no_comparison,
          Named("four_fifths") = a.four_fifths,
          Named("four_fifths_one_person") = a.four_fifths_one_person, Named("z_test") = a.z_test,
          Named("fisher_exact") = a.fisher_exact, Named("z_ir") = a.z_ir,
          Named("four_fifths_and_z") = a.four_fifths_and_z,
          Named("four_fifths_not_z") = a.four_fifths_not_z,
          Named("z_not_four_fifths") = a.z_not_four_fifths));
}

} // namespace

// A problem's distribution, or list(error = why) when it cannot be computed.
// minority < 0: pools mixed over the binomial; threads < 1: every core.
// [[Rcpp::export(rng = false)]]
Rcpp::List solve_problem(int ntot, int nhire, double esize, double prop, std::string method,
                         int minority, double alpha, int threads) {
  const problem p{ntot, nhire, esize, prop};
  solve_options opt;
  std::optional<std::string> why = options_from(method, minority, alpha, threads, opt);
  if (!why) why = refusal(p, opt);
  if (why) return Rcpp::List::create(Rcpp::Named("error") = *why);

  const solution s = run_interruptibly([&](const std::atomic<bool> &stop) {
    solve_options o = opt;
    o.cancel = &stop;
    return solve(p, o);
  });
  // The nested method's result further than 1e-4 from the direct method's.
  if (const auto refused = check_refusal(s.check))
    return Rcpp::List::create(Rcpp::Named("error") = *refused);
  Rcpp::List out = Rcpp::List::create(Rcpp::Named("completed") = completed(s.status),
                                      Rcpp::Named("events") = event_columns(s.events),
                                      Rcpp::Named("skipped_pool_weight") = s.status.skipped_weight);
  if (!completed(s.status)) {
    out["reason"] = gave_up_reason(s.status);
    return out;
  }
  out["table"] = table_columns(s);
  out["summary"] = summary_values(summarize(s), s.adverse_impact);
  return out;
}

// A problem's figures without its table, as the command line's --rows none:
// with the direct method, no problem is too large for a table. list(error =
// why) when it cannot be computed.
// [[Rcpp::export(rng = false)]]
Rcpp::List problem_figures(int ntot, int nhire, double esize, double prop, std::string method,
                           int minority, double alpha, int threads) {
  const problem p{ntot, nhire, esize, prop};
  solve_options opt;
  std::optional<std::string> why = options_from(method, minority, alpha, threads, opt);
  if (!why) why = figures_refusal(p, opt);
  if (why) return Rcpp::List::create(Rcpp::Named("error") = *why);

  const figures f = run_interruptibly([&](const std::atomic<bool> &stop) {
    solve_options o = opt;
    o.cancel = &stop;
    return solve_figures(p, o);
  });
  if (const auto refused = check_refusal(f.check))
    return Rcpp::List::create(Rcpp::Named("error") = *refused);
  Rcpp::List out =
      Rcpp::List::create(Rcpp::Named("completed") = completed(f.status),
                         Rcpp::Named("events") = event_columns(f.events),
                         Rcpp::Named("skipped_pool_weight") = f.status.skipped_weight,
                         Rcpp::Named("skipped_outcome_weight") = f.skipped_outcome_weight);
  if (!completed(f.status)) {
    out["reason"] = gave_up_reason(f.status);
    return out;
  }
  out["summary"] = summary_values(f.summary, f.adverse_impact);
  return out;
}
