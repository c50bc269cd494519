// The audits of several groups in the compiled package: names and counts in,
// the command line's JSON document and page out, through the library's public
// header. torvan/_groups.py shapes them; this file converts types, computes
// without holding the interpreter, stays responsive to Ctrl-C, and turns a
// refusal into ValueError.
#include <array>
#include <atomic>
#include <map>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "interrupt.h"
#include "torvan.h"

namespace py = pybind11;

namespace {

std::vector<group_counts> groups_of(const std::vector<std::string> &names,
                                    const std::vector<std::array<int, 2>> &counts) {
  if (names.size() != counts.size()) throw py::value_error("names and counts must be as many");
  std::vector<group_counts> groups;
  for (std::size_t i = 0; i < names.size(); ++i)
    groups.push_back({names[i], counts[i][0], counts[i][1]});
  return groups;
}

} // namespace

void bind_groups(py::module_ &m) {
  m.def(
      "audit_groups",
      [](const std::vector<std::string> &names, const std::vector<std::array<int, 2>> &counts,
         const std::string &reference, double alpha) {
        const std::vector<group_counts> groups = groups_of(names, counts);
        if (const auto why = groups_refusal(groups, reference, alpha)) throw py::value_error(*why);
        std::atomic<bool> stop{false};
        const groups_audit g = run_interruptibly(stop, [&](const std::atomic<bool> &s) {
          return audit_groups(groups, reference, alpha, &s);
        });
        return py::make_tuple(groups_json_text(g, -1), groups_page_text(g));
      },
      py::arg("names"), py::arg("counts"), py::kw_only(), py::arg("reference") = "",
      py::arg("alpha") = 0.05,
      "Audits groups, each (applicants, hires): (JSON document, page) as the command line "
      "writes them. ValueError with the command line's message for groups it refuses.");

  m.def(
      "audit_group_events",
      [](const std::vector<std::string> &events, const std::vector<std::string> &names,
         const std::vector<std::array<int, 2>> &counts, const std::string &reference,
         double alpha) {
        const std::vector<group_counts> rows = groups_of(names, counts);
        if (events.size() != rows.size())
          throw py::value_error("events, names and counts must be as many");
        std::vector<group_event> list;
        std::map<std::string, std::size_t> at;
        for (std::size_t i = 0; i < rows.size(); ++i) {
          const auto [it, fresh] = at.emplace(events[i], list.size());
          if (fresh) list.push_back({events[i], {}});
          list[it->second].groups.push_back(rows[i]);
        }
        if (const auto why = group_events_refusal(list, reference, alpha))
          throw py::value_error(*why);
        std::atomic<bool> stop{false};
        const group_events_audit e = run_interruptibly(stop, [&](const std::atomic<bool> &s) {
          return audit_group_events(list, reference, alpha, &s);
        });
        return py::make_tuple(group_events_json_text(e, -1), group_events_page_text(e));
      },
      py::arg("events"), py::arg("names"), py::arg("counts"), py::kw_only(),
      py::arg("reference") = "", py::arg("alpha") = 0.05,
      "Audits groups in events, one row a group of an event: (JSON document, page).");
}
