// /api/audit: observed counts, or several events, audited as `torvan audit`
// audits them.
#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <string_view>

#include "input/counts.h"
#include "input/options.h"
#include "server/serve_api.h"

namespace {

std::int64_t applicants_of(const std::vector<selection_event> &events) {
  return std::accumulate(events.begin(), events.end(), std::int64_t{0},
                         [](std::int64_t n, const selection_event &e) {
                           return n + e.counts.minority_applicants + e.counts.majority_applicants;
                         });
}

reply events_reply(const std::string &csv, double alpha, serve_context &c) {
  const events_reading r = events_from_csv(csv, alpha);
  if (!r.error.empty()) return error_reply(400, r.error);
  const std::int64_t applicants = applicants_of(r.events);
  if (applicants > c.limits.events_applicants)
    return error_reply(422, "the " + std::to_string(r.events.size()) + " events hold " +
                                std::to_string(applicants) +
                                " applicants in all, more than this server audits at once (at "
                                "most " +
                                std::to_string(c.limits.events_applicants) + ")");
  return at_the_gate(c, [&]() -> reply {
    const events_audit e = audit_events(r.events, alpha, &c.stopping);
    if (e.cancelled) return stopping_reply();
    return {200, "application/json", events_json_text(e, 2) + "\n"};
  });
}

} // namespace

reply audit_reply(const query_params &q, serve_context &c) {
  query_reader in{q, ""};
  std::vector<std::string> names(count_names.begin(), count_names.end());
  names.insert(names.end(), {"events", "alpha"});
  in.allow(names);
  double alpha = 0.05;
  in.option("alpha", alpha, read_alpha);
  if (in.has("events")) {
    const bool counts = std::any_of(count_names.begin(), count_names.end(),
                                    [&](const char *name) { return in.has(name); });
    if (in.error.empty() && counts) in.error = counts_and_events_refusal("events");
    const std::string *csv = in.text("events");
    if (!in.error.empty()) return error_reply(400, in.error);
    return events_reply(*csv, alpha, c);
  }
  std::array<std::string_view, 4> fields;
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (const std::string *t = in.required(count_names[i])) fields[i] = *t;
  if (!in.error.empty()) return error_reply(400, in.error);
  const counts_reading r = counts_from_fields(fields, alpha);
  if (!r.error.empty()) return error_reply(400, r.error);
  return at_the_gate(c, [&]() -> reply {
    return {200, "application/json", audit_json_text(audit_selection(r.counts, alpha), 2) + "\n"};
  });
}
