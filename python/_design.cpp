// Designs from Python: the predictors, the matrix and the options in, the
// library's design out as its JSON document and its chart, the texts the
// command line writes; torvan/_design.py shapes them for pandas. Computed without holding
// the interpreter.
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "torvan.h"

namespace py = pybind11;

namespace {

using predictor_row = std::tuple<std::string, double, double>; // name, validity, esize
using comparison_row = std::pair<std::string, std::vector<double>>;

std::pair<std::string, std::string> design_text(
    const std::vector<predictor_row> &predictors, std::vector<std::vector<double>> correlations,
    const std::string &matrix, const std::string &weights, int ntot, std::optional<int> nhire,
    std::optional<double> selection_ratio, std::optional<double> prop, std::optional<int> minority,
    double alpha, const std::string &method, int points, std::optional<double> max_risk,
    const std::string &rule, std::optional<double> min_impact_ratio,
    const std::vector<comparison_row> &compare, std::optional<int> threads) {
  design_options o;
  for (const auto &[name, validity, esize] : predictors)
    o.predictors.push_back({name, validity, esize});
  o.correlations = std::move(correlations);
  if (matrix != "within" && matrix != "overall")
    throw py::value_error("matrix must be within or overall, not '" + matrix + "'");
  o.matrix = matrix == "within" ? design_matrix::within : design_matrix::overall;
  if (weights != "nonnegative" && weights != "free")
    throw py::value_error("weights must be nonnegative or free, not '" + weights + "'");
  o.weights = weights == "free" ? design_weights::free : design_weights::nonnegative;
  o.ntot = ntot;
  o.nhire = nhire;
  o.selection_ratio = selection_ratio;
  o.prop = prop;
  o.minority = minority;
  o.alpha = alpha;
  const auto m = method_named(method);
  if (!m) throw py::value_error("method must be nested or direct, not '" + method + "'");
  o.method = *m;
  o.points = points;
  o.max_risk = max_risk;
  o.rule = rule;
  o.min_impact_ratio = min_impact_ratio;
  for (const auto &[name, w] : compare)
    o.compare.push_back({name, w});
  if (threads && *threads < 1) throw py::value_error("threads must be at least 1");
  o.threads = threads.value_or(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  if (const auto why = design_refusal(o)) throw py::value_error(*why);
  design_result r;
  {
    const py::gil_scoped_release unlocked;
    r = solve_design(o);
  }
  if (!r.error.empty()) throw std::runtime_error(r.error);
  return {design_json_text(o, r, {o.threads, 0.0}, -1), design_svg_text(o, r)};
}

} // namespace

void bind_design(py::module_ &m) {
  m.def("design", &design_text, py::arg("predictors"), py::arg("correlations"), py::kw_only(),
        py::arg("matrix") = "within", py::arg("weights") = "nonnegative", py::arg("ntot"),
        py::arg("nhire") = py::none(), py::arg("selection_ratio") = py::none(),
        py::arg("prop") = py::none(), py::arg("minority") = py::none(), py::arg("alpha") = 0.05,
        py::arg("method") = "direct", py::arg("points") = 21, py::arg("max_risk") = py::none(),
        py::arg("rule") = "four_fifths", py::arg("min_impact_ratio") = py::none(),
        py::arg("compare") = std::vector<comparison_row>{}, py::arg("threads") = py::none(),
        "Computes a design without holding the interpreter and returns the command line's JSON "
        "document and its chart (SVG); ValueError with its message when it is refused.");
}
