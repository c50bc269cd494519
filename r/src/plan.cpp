// Plans from R: the options in, the rows and the found sizes out as the
// plain vectors R/plan.R turns into data frames, and the command line's JSON
// document. A user interrupt stops the plan.
#include <Rcpp.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cpu_clock.h"
#include "interrupt.h"
#include "torvan.h"

namespace {

// A value given, or none (a vector of length 0).
std::optional<double> given(const Rcpp::NumericVector &v) {
  if (v.size() == 0) return std::nullopt;
  return v[0];
}

// The row figures as columns, NA where a size was not computed.
Rcpp::List row_columns(const plan_options &opt, const plan_result &r) {
  const auto n = static_cast<R_xlen_t>(r.rows.size());
  Rcpp::IntegerVector ntot(n), nhire(n), minority(n), shortfalls(n);
  Rcpp::NumericVector expected(n), above(n), undefined(n);
  Rcpp::LogicalVector done(n);
  Rcpp::CharacterVector error(n);
  const std::vector<std::string> rules = plan_rules(opt);
  std::vector<Rcpp::NumericVector> probability;
  for (std::size_t k = 0; k < rules.size(); ++k)
    probability.emplace_back(n);
  for (R_xlen_t i = 0; i < n; ++i) {
    const plan_row &row = r.rows[static_cast<std::size_t>(i)];
    ntot[i] = row.ntot;
    nhire[i] = row.nhire;
    minority[i] = row.minority >= 0 ? row.minority : NA_INTEGER;
    expected[i] = row.expected_minority;
    done[i] = row_computed(row);
    error[i] = row_computed(row) ? NA_STRING : Rcpp::String(row.error);
    for (std::size_t k = 0; k < rules.size(); ++k)
      probability[k][i] =
          row_computed(row) ? rule_probability(row.f.adverse_impact, rules[k]) : NA_REAL;
    above[i] = row_computed(row) ? row.f.summary.p_above : NA_REAL;
    undefined[i] = row_computed(row) ? row.f.summary.p_undefined : NA_REAL;
    shortfalls[i] = row_computed(row) ? static_cast<int>(std::count_if(
                                            row.f.events.begin(), row.f.events.end(),
                                            [](const pool_event &e) {
                                              return e.what == pool_event::kind::accuracy_shortfall;
                                            }))
                                      : NA_INTEGER;
  }
  Rcpp::List out = Rcpp::List::create(Rcpp::Named("ntot") = ntot, Rcpp::Named("nhire") = nhire);
  if (opt.minority_share)
    out["minority"] = minority;
  else
    out["expected_minority"] = expected;
  out["completed"] = done;
  for (std::size_t k = 0; k < rules.size(); ++k)
    out[rules[k]] = probability[k];
  out["p_above_1_25"] = above;
  out["p_undefined"] = undefined;
  out["accuracy_shortfalls"] = shortfalls;
  out["error"] = error;
  return out;
}

Rcpp::List found_columns(const plan_result &r) {
  const auto n = static_cast<R_xlen_t>(r.found.size());
  Rcpp::CharacterVector rule(n);
  Rcpp::IntegerVector first(n), stays(n);
  for (R_xlen_t i = 0; i < n; ++i) {
    const plan_found &f = r.found[static_cast<std::size_t>(i)];
    rule[i] = f.rule;
    first[i] = f.first.value_or(NA_INTEGER);
    stays[i] = f.stays.value_or(NA_INTEGER);
  }
  return Rcpp::List::create(Rcpp::Named("rule") = rule, Rcpp::Named("first") = first,
                            Rcpp::Named("stays") = stays);
}

} // namespace

// A plan, or list(error = why) when it cannot be computed. Values not given
// are vectors of length 0; threads < 1: every core. tick(n) is called on R's
// thread with the sizes finished since the last call.
// [[Rcpp::export(rng = false)]]
Rcpp::List plan_sizes(Rcpp::NumericVector esize, int ntot_from, int ntot_to, int ntot_step,
                      Rcpp::NumericVector prop, Rcpp::NumericVector minority_share,
                      Rcpp::NumericVector selection_ratio, Rcpp::IntegerVector nhire, double alpha,
                      double target, std::vector<std::string> rules, std::string method,
                      int threads, Rcpp::Function tick) {
  plan_options opt;
  opt.esize = given(esize);
  opt.prop = given(prop);
  opt.minority_share = given(minority_share);
  opt.selection_ratio = given(selection_ratio);
  if (nhire.size() > 0) opt.nhire = nhire[0];
  opt.ntot = ntot_range{ntot_from, ntot_to, ntot_step};
  opt.alpha = alpha;
  opt.target = target;
  opt.rules = std::move(rules);
  opt.threads =
      threads >= 1 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const std::optional<ai_method> m = method_named(method);
  std::optional<std::string> why;
  if (!m) why = "method must be nested or direct, not '" + method + "'";
  if (m) opt.method = *m;
  if (!why) why = plan_refusal(opt);
  if (why) return Rcpp::List::create(Rcpp::Named("error") = *why);

  std::atomic<int> done{0};
  int told = 0;
  const double t0 = cpu_seconds();
  const plan_result r = run_interruptibly(
      [&](const std::atomic<bool> &stop) {
        plan_options o = opt;
        o.cancel = &stop;
        o.progress = [&](int d, int) { done = d; };
        return solve_plan(o);
      },
      [&] {
        const int now = done;
        if (now > told) tick(now - told);
        told = now;
      });
  return Rcpp::List::create(
      Rcpp::Named("rows") = row_columns(opt, r), Rcpp::Named("found") = found_columns(r),
      Rcpp::Named("json") = plan_json_text(opt, r, {opt.threads, cpu_seconds() - t0}, 2));
}
