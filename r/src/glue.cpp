// The R side of the library: one problem in, its distribution out, as the
// plain vectors R/torvan.R turns into the package's objects.
#include <Rcpp.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "cpu_clock.h"
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

// The library's refusal of a table too large names the command line's way
// around it; from R the way is rows = FALSE. A problem refused for its
// values keeps the library's words.
std::optional<std::string> refusal_in_r(const problem &p, const solve_options &opt, bool rows) {
  std::optional<std::string> why = rows ? refusal(p, opt) : figures_refusal(p, opt);
  solve_options direct = opt;
  direct.method = ai_method::direct;
  if (!why || figures_refusal(p, direct)) return why;
  const std::string way = opt.method == ai_method::direct
                              ? "the figures without the rows need no table: rows = FALSE"
                              : "the direct method's figures without the rows need no table: "
                                "method = \"direct\", rows = FALSE";
  return why->substr(0, why->find("; ")) + "; " + way;
}

// The joint distribution's columns, read from the command line's CSV of it
// (strtod rounds correctly, so every probability keeps its bits).
Rcpp::List joint_columns(const std::string &csv) {
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line); // the header
  std::vector<std::vector<std::string>> fields(9);
  while (std::getline(in, line)) {
    std::istringstream row(line);
    for (auto &column : fields) {
      column.emplace_back();
      std::getline(row, column.back(), ',');
    }
  }
  const auto n = static_cast<R_xlen_t>(fields[0].size());
  Rcpp::IntegerVector applicants(n), hires(n);
  Rcpp::NumericVector probability(n), ai(n);
  std::vector<Rcpp::LogicalVector> flags;
  for (int r = 0; r < 5; ++r)
    flags.emplace_back(n);
  for (R_xlen_t i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    applicants[i] = std::atoi(fields[0][k].c_str());
    hires[i] = std::atoi(fields[1][k].c_str());
    probability[i] = std::strtod(fields[2][k].c_str(), nullptr);
    ai[i] = fields[3][k].empty() ? NA_REAL : std::strtod(fields[3][k].c_str(), nullptr);
    for (std::size_t r = 0; r < flags.size(); ++r)
      flags[r][i] = fields[4 + r][k] == "true";
  }
  return Rcpp::List::create(
      Rcpp::Named("minority_applicants") = applicants, Rcpp::Named("minority_hires") = hires,
      Rcpp::Named("probability") = probability, Rcpp::Named("ai") = ai,
      Rcpp::Named("four_fifths") = flags[0], Rcpp::Named("four_fifths_one_person") = flags[1],
      Rcpp::Named("z_test") = flags[2], Rcpp::Named("fisher_exact") = flags[3],
      Rcpp::Named("z_ir") = flags[4]);
}

} // namespace

// Why the options of a grid, the same for every row, cannot be taken, or
// NULL: the smallest problem the library accepts, with them.
// [[Rcpp::export(rng = false)]]
SEXP options_refusal(std::string method, double alpha) {
  solve_options opt;
  std::optional<std::string> why = options_from(method, -1, alpha, 1, opt);
  if (!why) why = refusal(problem{2, 1, 0.0, 0.5}, opt);
  if (why) return Rcpp::wrap(*why);
  return R_NilValue;
}

// A problem's distribution, or list(error = why) when it cannot be computed.
// minority < 0: pools mixed over the binomial; threads < 1: every core.
// rows: with the table, else only the figures, as the command line's --rows
// none (with the direct method no problem is then too large). joint: with
// the joint distribution (rows only). json: with the command line's JSON
// document. tick(pools, total), when given, is called on R's thread with the
// pools finished since its last call. cancel_file: see run_interruptibly.
// [[Rcpp::export(rng = false)]]
Rcpp::List solve_problem(int ntot, int nhire, double esize, double prop, std::string method,
                         int minority, double alpha, int threads, bool rows, bool joint, bool json,
                         Rcpp::RObject tick, std::string cancel_file) {
  const problem p{ntot, nhire, esize, prop};
  solve_options opt;
  std::optional<std::string> why = options_from(method, minority, alpha, threads, opt);
  if (!why) why = refusal_in_r(p, opt, rows);
  if (why) return Rcpp::List::create(Rcpp::Named("error") = *why);
  opt.keep_joint = joint;

  std::atomic<int> done{0}, total{0};
  int told = 0;
  const auto report = [&] {
    const int now = done;
    if (!tick.isNULL() && now > told) {
      const Rcpp::Function f(tick);
      f(now - told, static_cast<int>(total));
    }
    told = now;
  };
  const double t0 = cpu_seconds();
  const auto compute = [&](auto how) {
    return run_interruptibly(
        [&](const std::atomic<bool> &stop) {
          solve_options o = opt;
          o.cancel = &stop;
          o.progress = [&](int d, int t) {
            total = t;
            done = d;
          };
          return how(p, o);
        },
        report, cancel_file);
  };
  std::optional<solution> s;
  figures f;
  if (rows) {
    s = compute([](const problem &q, const solve_options &o) { return solve(q, o); });
    f = figures_of(*s);
  } else {
    f = compute([](const problem &q, const solve_options &o) { return solve_figures(q, o); });
  }
  const run_facts ran{opt.threads, cpu_seconds() - t0};
  // The nested method's result further than 1e-4 from the direct method's.
  if (const auto refused = check_refusal(f.check))
    return Rcpp::List::create(Rcpp::Named("error") = *refused);

  Rcpp::List out =
      Rcpp::List::create(Rcpp::Named("completed") = completed(f.status),
                         Rcpp::Named("events") = event_columns(f.events),
                         Rcpp::Named("skipped_pool_weight") = f.status.skipped_weight,
                         Rcpp::Named("skipped_outcome_weight") = f.skipped_outcome_weight);
  if (json) out["json"] = s ? json_text(p, opt, *s, ran, 2) : json_text(p, opt, f, ran, 2);
  if (!completed(f.status)) {
    out["reason"] = gave_up_reason(f.status);
    return out;
  }
  if (s) out["table"] = table_columns(*s);
  if (s && joint) out["joint"] = joint_columns(joint_csv_text(p, opt, *s));
  out["summary"] = summary_values(f.summary, f.adverse_impact);
  return out;
}
