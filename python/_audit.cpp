// The audit's half of the compiled package: counts in, the command line's
// JSON document and pages out, through the library's public header. The
// package's torvan/_audit.py shapes them; this file only converts types,
// computes without holding the interpreter, stays responsive to Ctrl-C over
// many events, and turns a refusal into ValueError.
#include <array>
#include <atomic>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "interrupt.h"
#include "torvan.h"

namespace py = pybind11;

void bind_audit(py::module_ &m) {
  m.def(
      "audit",
      [](int n1, int x, int n0, int y, double alpha) {
        const selection_counts c{n1, x, n0, y};
        if (const auto why = audit_refusal(c, alpha)) throw py::value_error(*why);
        selection_audit a;
        {
          const py::gil_scoped_release unlocked;
          a = audit_selection(c, alpha);
        }
        return py::make_tuple(audit_json_text(a, -1), audit_page_text(a));
      },
      py::arg("n1"), py::arg("x"), py::arg("n0"), py::arg("y"), py::kw_only(),
      py::arg("alpha") = 0.05,
      "Audits one selection: (JSON document, page) as the command line writes them. "
      "ValueError with the command line's message for counts it refuses.");

  m.def(
      "audit_events",
      [](const std::vector<std::string> &names, const std::vector<std::array<int, 4>> &counts,
         double alpha) {
        if (names.size() != counts.size())
          throw py::value_error("names and counts must be as many");
        std::vector<selection_event> events;
        for (std::size_t i = 0; i < names.size(); ++i)
          events.push_back({names[i], {counts[i][0], counts[i][1], counts[i][2], counts[i][3]}});
        if (const auto why = events_refusal(events, alpha)) throw py::value_error(*why);
        std::atomic<bool> stop{false};
        const events_audit e = run_interruptibly(
            stop, [&](const std::atomic<bool> &s) { return audit_events(events, alpha, &s); });
        py::list pages;
        for (const selection_audit &a : e.audits)
          pages.append(audit_page_text(a));
        return py::make_tuple(events_json_text(e, -1), events_page_text(e), pages);
      },
      py::arg("names"), py::arg("counts"), py::kw_only(), py::arg("alpha") = 0.05,
      "Audits events, each (N1, X, N0, Y): (JSON document, page, each event's page). "
      "Ctrl-C stops it within a second (KeyboardInterrupt).");
}
