// The R side of the audits of several groups: names and counts in, the
// command line's JSON document as nested R lists, and its page, out.
#include <Rcpp.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "interrupt.h"
#include "torvan.h"

SEXP r_value(const nlohmann::ordered_json &j); // audit.cpp

// Groups audited against the reference ("" for the highest selection rate),
// or list(error = why); with event names, one row a group of an event.
// [[Rcpp::export(rng = false)]]
Rcpp::List audit_group_table(Rcpp::CharacterVector events, Rcpp::CharacterVector names,
                             Rcpp::IntegerVector applicants, Rcpp::IntegerVector hires,
                             std::string reference, double alpha) {
  std::vector<group_counts> rows;
  for (R_xlen_t i = 0; i < names.size(); ++i)
    rows.push_back({Rcpp::as<std::string>(names[i]), applicants[i], hires[i]});
  if (events.size() == 0) {
    if (const auto why = groups_refusal(rows, reference, alpha))
      return Rcpp::List::create(Rcpp::Named("error") = *why);
    const groups_audit g = run_interruptibly(
        [&](const std::atomic<bool> &stop) { return audit_groups(rows, reference, alpha, &stop); });
    return Rcpp::List::create(Rcpp::Named("document") =
                                  r_value(nlohmann::ordered_json::parse(groups_json_text(g, -1))),
                              Rcpp::Named("page") = groups_page_text(g));
  }
  std::vector<group_event> list;
  std::map<std::string, std::size_t> at;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string e = Rcpp::as<std::string>(events[static_cast<R_xlen_t>(i)]);
    const auto [it, fresh] = at.emplace(e, list.size());
    if (fresh) list.push_back({e, {}});
    list[it->second].groups.push_back(rows[i]);
  }
  if (const auto why = group_events_refusal(list, reference, alpha))
    return Rcpp::List::create(Rcpp::Named("error") = *why);
  const group_events_audit e = run_interruptibly([&](const std::atomic<bool> &stop) {
    return audit_group_events(list, reference, alpha, &stop);
  });
  return Rcpp::List::create(Rcpp::Named("document") = r_value(
                                nlohmann::ordered_json::parse(group_events_json_text(e, -1))),
                            Rcpp::Named("page") = group_events_page_text(e));
}
