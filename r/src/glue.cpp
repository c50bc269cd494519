// The R side of the library: one problem in, its distribution out, as the
// plain vectors R/torvan.R turns into the package's objects.
#include <Rcpp.h>

#include <gsl/gsl_errno.h>

#include <algorithm>
#include <optional>
#include <string>
#include <thread>

#include "torvan.h"

namespace {

// The options this build of the library computes: the nested method, on
// pools whose composition is mixed over the binomial.
std::optional<std::string> option_refusal(const std::string &method, int minority) {
  if (method != "nested")
    return "method = \"" + method +
           "\" is not available: this build computes the nested method only";
  if (minority >= 0) return std::string("minority is not available in this build");
  return std::nullopt;
}

const char *kind_name(pool_event::kind k) {
  switch (k) {
    case pool_event::kind::inner_error:
      return "inner_error";
    case pool_event::kind::abnormal_return:
      return "abnormal_return";
    case pool_event::kind::accepted_as_one:
      return "accepted_as_one";
  }
  return "unknown";
}

Rcpp::List event_columns(const std::vector<pool_event> &events) {
  const auto n = static_cast<R_xlen_t>(events.size());
  Rcpp::CharacterVector kind(n);
  Rcpp::IntegerVector nmin(n), code(n), t(n), smin(n), rmaj(n);
  Rcpp::NumericVector stored(n), raw(n);
  for (R_xlen_t i = 0; i < n; ++i) {
    const pool_event &e = events[static_cast<std::size_t>(i)];
    kind[i] = kind_name(e.what);
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
  double cum = 0.0;
  for (R_xlen_t i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    cum += s.pvai[k];
    defined[i] = s.vai[k] != UNDEF_AI;
    ai[i] = defined[i] ? s.vai[k] : NA_REAL;
    probability[i] = s.pvai[k];
    cumulative[i] = cum;
  }
  return Rcpp::List::create(Rcpp::Named("ai") = ai, Rcpp::Named("defined") = defined,
                            Rcpp::Named("probability") = probability,
                            Rcpp::Named("cumulative") = cumulative);
}

Rcpp::List summary_values(const ai_summary &m) {
  return Rcpp::List::create(
      Rcpp::Named("moments") = Rcpp::NumericVector::create(
          Rcpp::Named("mean") = m.mean, Rcpp::Named("variance") = m.var, Rcpp::Named("sd") = m.sd),
      Rcpp::Named("p_undefined") = m.p_undefined, Rcpp::Named("p_above_1_25") = m.p_above,
      Rcpp::Named("p_below_0_8") = m.p_below,
      Rcpp::Named("percentiles") = Rcpp::NumericVector::create(
          Rcpp::Named("p5") = m.p5, Rcpp::Named("p50") = m.p50, Rcpp::Named("p95") = m.p95));
}

} // namespace

// An integrator's error number is recorded in the result; GSL's default
// handler would abort the R session instead.
// [[Rcpp::init]]
void torvan_init(DllInfo *) {
  gsl_set_error_handler_off();
}

// A problem's distribution, or list(error = why) when it cannot be computed.
// threads < 1: every core of the machine.
// [[Rcpp::export(rng = false)]]
Rcpp::List solve_problem(int ntot, int nhire, double esize, double prop, std::string method,
                         int minority, int threads) {
  const problem p{ntot, nhire, esize, prop};
  std::optional<std::string> why = option_refusal(method, minority);
  if (!why) why = refusal(p);
  if (why) return Rcpp::List::create(Rcpp::Named("error") = *why);

  solve_options opt;
  opt.threads =
      threads >= 1 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const solution s = solve(p, opt);
  Rcpp::List out = Rcpp::List::create(Rcpp::Named("completed") = !s.status.gave_up,
                                      Rcpp::Named("events") = event_columns(s.events),
                                      Rcpp::Named("skipped_pool_weight") = s.status.skipped_weight);
  if (s.status.gave_up) {
    out["reason"] = gave_up_reason(s.status);
    return out;
  }
  out["table"] = table_columns(s);
  out["summary"] = summary_values(summarize(s));
  return out;
}
