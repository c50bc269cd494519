// Plans from Python: the options in, the library's plan out as its JSON
// document, the same text the command line writes; torvan/_plan.py shapes it
// for pandas. Computed without holding the interpreter; Ctrl-C stops it.
#include <atomic>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "interrupt.h"
#include "torvan.h"

namespace py = pybind11;

namespace {

struct computed_plan {
  plan_options opt;
  plan_result r;
  run_facts facts;
};

// No thread count means every hardware thread, as on the command line.
plan_options options_of(std::optional<double> esize, std::optional<double> prop,
                        std::optional<double> minority_share, std::optional<double> selection_ratio,
                        std::optional<int> nhire, const ntot_range &ntot, double alpha,
                        double target, std::vector<std::string> rules, const std::string &method,
                        std::optional<int> threads) {
  plan_options o;
  o.esize = esize;
  o.prop = prop;
  o.minority_share = minority_share;
  o.selection_ratio = selection_ratio;
  o.nhire = nhire;
  o.ntot = ntot;
  o.alpha = alpha;
  o.target = target;
  o.rules = std::move(rules);
  const auto m = method_named(method);
  if (!m) throw py::value_error("method must be nested or direct, not '" + method + "'");
  o.method = *m;
  o.threads = threads.value_or(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  if (const auto why = plan_refusal(o)) throw py::value_error(*why);
  return o;
}

// progress(done, total) is called on the calling thread as rows are finished.
computed_plan compute_plan(plan_options opt, const py::object &progress) {
  const int threads = opt.threads;
  computed_plan c{std::move(opt), {}, {threads, 0.0}};
  run_computation(
      [&](const std::atomic<bool> &stop, const std::function<void(int, int)> &count) {
        plan_options o = c.opt;
        o.cancel = &stop;
        o.progress = count;
        timespec t0{}, t1{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t0);
        c.r = solve_plan(o);
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t1);
        c.facts.cpu_seconds = static_cast<double>(t1.tv_sec - t0.tv_sec) +
                              static_cast<double>(t1.tv_nsec - t0.tv_nsec) * 1e-9;
      },
      progress, nullptr);
  return c;
}

} // namespace

void bind_plan(py::module_ &m) {
  m.attr("flagging_rules") = flagging_rules();

  py::class_<computed_plan>(m, "ComputedPlan")
      .def_property_readonly("cancelled", [](const computed_plan &c) { return c.r.cancelled; })
      .def("svg", [](const computed_plan &c) { return plan_svg_text(c.opt, c.r); })
      .def(
          "json_text",
          [](const computed_plan &c, int indent) {
            return plan_json_text(c.opt, c.r, c.facts, indent);
          },
          py::arg("indent") = -1);

  m.def(
      "plan",
      [](std::optional<double> esize, int ntot_from, int ntot_to, int ntot_step,
         std::optional<double> prop, std::optional<double> minority_share,
         std::optional<double> selection_ratio, std::optional<int> nhire, double alpha,
         double target, std::vector<std::string> rules, const std::string &method,
         std::optional<int> threads, const py::object &progress) {
        if (threads && *threads < 1) throw py::value_error("threads must be at least 1");
        return compute_plan(options_of(esize, prop, minority_share, selection_ratio, nhire,
                                       {ntot_from, ntot_to, ntot_step}, alpha, target,
                                       std::move(rules), method, threads),
                            progress);
      },
      py::arg("esize"), py::kw_only(), py::arg("ntot_from"), py::arg("ntot_to"),
      py::arg("ntot_step") = 1, py::arg("prop") = py::none(),
      py::arg("minority_share") = py::none(), py::arg("selection_ratio") = py::none(),
      py::arg("nhire") = py::none(), py::arg("alpha") = 0.05, py::arg("target") = 0.8,
      py::arg("rules") = std::vector<std::string>{}, py::arg("method") = "direct",
      py::arg("threads") = py::none(), py::arg("progress") = py::none(),
      "Computes a plan without holding the interpreter; ValueError with the command line's "
      "message when it is refused. Ctrl-C stops it (KeyboardInterrupt), and "
      "progress(done, total) is called as rows are finished.");
}
