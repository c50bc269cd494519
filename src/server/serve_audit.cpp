// /api/audit: observed counts, several events, or several groups, audited as
// `torvan audit` audits them.
#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <string_view>

#include "input/counts.h"
#include "input/groups.h"
#include "input/options.h"
#include "server/serve_api.h"

namespace {

// The document of `torvan audit --format json` or the page of --format text.
struct audit_form {
  bool text = false;
  reply of(const std::string &json, const std::string &page) const {
    return text ? reply{200, "text/plain; charset=utf-8", page}
                : reply{200, "application/json", json + "\n"};
  }
};

std::int64_t applicants_of(const std::vector<selection_event> &events) {
  return std::accumulate(events.begin(), events.end(), std::int64_t{0},
                         [](std::int64_t n, const selection_event &e) {
                           return n + e.counts.minority_applicants + e.counts.majority_applicants;
                         });
}

std::int64_t applicants_of(const std::vector<group_counts> &groups) {
  return std::accumulate(groups.begin(), groups.end(), std::int64_t{0},
                         [](std::int64_t n, const group_counts &g) { return n + g.applicants; });
}

std::optional<std::string> beyond_limit(std::size_t count, const char *what,
                                        std::int64_t applicants, const serve_limits &l) {
  if (static_cast<std::int64_t>(count) > l.max_events)
    return "the table has " + std::to_string(count) + " " + what +
           ", more than this server audits at once (at most " + std::to_string(l.max_events) + ")";
  if (applicants <= l.events_applicants) return std::nullopt;
  return "the " + std::to_string(count) + " " + what + " hold " + std::to_string(applicants) +
         " applicants in all, more than this server audits at once (at most " +
         std::to_string(l.events_applicants) + ")";
}

reply groups_reply(const std::string &csv, const std::string &reference, double alpha,
                   audit_form form, serve_context &c) {
  const groups_reading r = groups_from_table(csv, reference, alpha);
  if (!r.error.empty()) return error_reply(400, r.error);
  if (const auto why = beyond_limit(r.groups.size(), "groups", applicants_of(r.groups), c.limits))
    return error_reply(422, *why);
  return at_the_gate(c, [&]() -> reply {
    const groups_audit g = audit_groups(r.groups, reference, alpha, &c.stopping);
    if (g.cancelled) return stopping_reply();
    return form.of(groups_json_text(g, 2), groups_page_text(g));
  });
}

reply group_events_reply(const table_reading &t, const std::string &reference, double alpha,
                         audit_form form, serve_context &c) {
  const group_events_reading r = group_events_from_table(t, reference, alpha);
  if (!r.error.empty()) return error_reply(400, r.error);
  std::int64_t applicants = 0;
  for (const group_event &e : r.events)
    applicants += applicants_of(e.groups); // cppcheck-suppress useStlAlgorithm
  if (const auto why = beyond_limit(r.events.size(), "events", applicants, c.limits))
    return error_reply(422, *why);
  return at_the_gate(c, [&]() -> reply {
    const group_events_audit e = audit_group_events(r.events, reference, alpha, &c.stopping);
    if (e.cancelled) return stopping_reply();
    return form.of(group_events_json_text(e, 2), group_events_page_text(e));
  });
}

reply events_reply(const std::string &csv, const std::string &reference, double alpha,
                   audit_form form, serve_context &c) {
  if (const table_reading t = read_table(csv);
      t.error.empty() && header_line(t) == group_events_header)
    return group_events_reply(t, reference, alpha, form, c);
  if (!reference.empty())
    return error_reply(400, "reference needs the header " + std::string(group_events_header));
  const events_reading r = events_from_csv(csv, alpha);
  if (!r.error.empty()) return error_reply(400, r.error);
  if (const auto why = beyond_limit(r.events.size(), "events", applicants_of(r.events), c.limits))
    return error_reply(422, *why);
  return at_the_gate(c, [&]() -> reply {
    const events_audit e = audit_events(r.events, alpha, &c.stopping);
    if (e.cancelled) return stopping_reply();
    return form.of(events_json_text(e, 2), events_page_text(e));
  });
}

std::string read_form(const std::string &name, const std::string &t, audit_form &form) {
  if (t != "json" && t != "text") return name + " must be json or text, not '" + t + "'";
  form.text = t == "text";
  return "";
}

} // namespace

reply audit_reply(const query_params &q, serve_context &c) {
  query_reader in{q, ""};
  std::vector<std::string> names(count_names.begin(), count_names.end());
  names.insert(names.end(), {"events", "groups", "reference", "alpha", "format"});
  in.allow(names);
  double alpha = 0.05;
  audit_form form;
  std::string reference;
  in.option("alpha", alpha, read_alpha);
  in.option("format", form, read_form);
  in.option("reference", reference, [](const std::string &n, const std::string &t, std::string &v) {
    v = t;
    return t.empty() ? n + " needs a group's name" : "";
  });
  const bool counts = std::any_of(count_names.begin(), count_names.end(),
                                  [&](const char *name) { return in.has(name); });
  const bool events = in.has("events"), groups = in.has("groups");
  if (in.error.empty()) {
    if (events && groups)
      in.error = "give groups or events, not both";
    else if (counts && (events || groups))
      in.error = counts_and_events_refusal(events ? "events" : "groups");
    else if (!reference.empty() && !events && !groups)
      in.error = "reference needs groups, or events with a group column";
  }
  if (events || groups) {
    const std::string *csv = in.text(events ? "events" : "groups");
    if (!in.error.empty()) return error_reply(400, in.error);
    return events ? events_reply(*csv, reference, alpha, form, c)
                  : groups_reply(*csv, reference, alpha, form, c);
  }
  std::array<std::string_view, 4> fields;
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (const std::string *t = in.required(count_names[i])) fields[i] = *t;
  if (!in.error.empty()) return error_reply(400, in.error);
  const counts_reading r = counts_from_fields(fields, alpha);
  if (!r.error.empty()) return error_reply(400, r.error);
  return at_the_gate(c, [&]() -> reply {
    const selection_audit a = audit_selection(r.counts, alpha);
    return form.of(audit_json_text(a, 2), audit_page_text(a));
  });
}
