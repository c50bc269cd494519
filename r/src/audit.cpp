// The R side of the audit: counts in, the command line's JSON document as
// nested R lists, and its pages, out. The document is converted as it
// stands - objects to named lists, null to NA - so that R sees every figure
// and every reason under the command line's names.
#include <Rcpp.h>

#include <atomic>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "interrupt.h"
#include "torvan.h"

// A JSON value as R holds it (also for groups.cpp).
SEXP r_value(const nlohmann::ordered_json &j) {
  switch (j.type()) {
    case nlohmann::ordered_json::value_t::object:
    case nlohmann::ordered_json::value_t::array: {
      Rcpp::List out(j.size());
      Rcpp::CharacterVector names(j.size());
      R_xlen_t i = 0;
      for (const auto &[key, v] : j.items()) {
        names[i] = key;
        out[i++] = r_value(v);
      }
      if (j.is_object()) out.attr("names") = names;
      return out;
    }
    case nlohmann::ordered_json::value_t::null:
      return Rcpp::LogicalVector::create(NA_LOGICAL);
    case nlohmann::ordered_json::value_t::boolean:
      return Rcpp::wrap(j.get<bool>());
    case nlohmann::ordered_json::value_t::number_integer:
    case nlohmann::ordered_json::value_t::number_unsigned: {
      // Counts; totals over many events may pass the range of R's integers.
      const double v = j.get<double>();
      if (v >= -2147483647.0 && v <= 2147483647.0) return Rcpp::wrap(j.get<int>());
      return Rcpp::wrap(v);
    }
    case nlohmann::ordered_json::value_t::number_float:
      return Rcpp::wrap(j.get<double>());
    case nlohmann::ordered_json::value_t::string:
      return Rcpp::wrap(j.get<std::string>());
    default:
      return R_NilValue;
  }
}

// One selection's audit, or list(error = why) when the counts are refused.
// [[Rcpp::export(rng = false)]]
Rcpp::List audit_counts(int n1, int x, int n0, int y, double alpha) {
  const selection_counts c{n1, x, n0, y};
  if (const auto why = audit_refusal(c, alpha))
    return Rcpp::List::create(Rcpp::Named("error") = *why);
  const selection_audit a = audit_selection(c, alpha);
  const std::string json = audit_json_text(a, 2);
  return Rcpp::List::create(Rcpp::Named("document") = r_value(nlohmann::ordered_json::parse(json)),
                            Rcpp::Named("page") = audit_page_text(a), Rcpp::Named("json") = json);
}

// Events audited one by one and together, or list(error = why); a user
// interrupt stops the computation within a second.
// [[Rcpp::export(rng = false)]]
Rcpp::List audit_event_table(Rcpp::CharacterVector names, Rcpp::IntegerVector n1,
                             Rcpp::IntegerVector x, Rcpp::IntegerVector n0, Rcpp::IntegerVector y,
                             double alpha) {
  std::vector<selection_event> events;
  for (R_xlen_t i = 0; i < names.size(); ++i)
    events.push_back({Rcpp::as<std::string>(names[i]), {n1[i], x[i], n0[i], y[i]}});
  if (const auto why = events_refusal(events, alpha))
    return Rcpp::List::create(Rcpp::Named("error") = *why);
  const events_audit e = run_interruptibly(
      [&](const std::atomic<bool> &stop) { return audit_events(events, alpha, &stop); });
  Rcpp::CharacterVector pages(e.audits.size());
  for (std::size_t i = 0; i < e.audits.size(); ++i)
    pages[static_cast<R_xlen_t>(i)] = audit_page_text(e.audits[i]);
  const std::string json = events_json_text(e, 2);
  return Rcpp::List::create(Rcpp::Named("document") = r_value(nlohmann::ordered_json::parse(json)),
                            Rcpp::Named("page") = events_page_text(e), Rcpp::Named("pages") = pages,
                            Rcpp::Named("json") = json);
}
