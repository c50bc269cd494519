// /api/design, /api/design.csv and /api/design.svg: a design computed as
// `torvan design` computes it, on one thread, within the server's limits.
#include <cstdint>
#include <optional>
#include <variant>

#include "engine/design.h"
#include "input/clock.h"
#include "input/design_args.h"
#include "input/design_tables.h"
#include "report/design.h"
#include "report/design_plot.h"
#include "server/serve_api.h"

namespace {

struct design_request {
  design_options o;
  bool chart = false; // JSON with the chart: the page's one request for a design
};

// The two tables, each read as the command line reads its file, the
// message naming the parameter where the command line names the file.
std::string read_tables(query_reader &in, design_options &o) {
  const std::string *predictors = in.required("predictors");
  if (!predictors) return in.error;
  if (auto why = read_predictors(*predictors, o.predictors)) return "predictors: " + *why;
  const std::string *correlations = in.required("correlations");
  if (!correlations) return in.error;
  if (auto why = read_correlations(*correlations, o.predictors, o.correlations))
    return "correlations: " + *why;
  return "";
}

// Each option by the command line's function for it; only compare may come
// more than once (each adds a comparison). chart=svg, on /api/design only,
// adds the chart's SVG text to the document as "chart".
std::variant<design_request, reply> read_design(design_form form, const query_params &q) {
  design_request r;
  design_options &o = r.o;
  query_reader in{q, ""};
  std::vector<std::string> names = {"predictors", "correlations", "matrix",           "weights",
                                    "ntot",       "nhire",        "selection_ratio",  "prop",
                                    "minority",   "alpha",        "method",           "points",
                                    "max_risk",   "rule",         "min_impact_ratio", "compare"};
  if (form == design_form::json) names.emplace_back("chart");
  in.allow(names);
  for (auto at = q.begin(); at != q.end() && in.error.empty(); at = q.upper_bound(at->first)) {
    const std::string &name = at->first;
    if (name == "predictors" || name == "correlations") continue;
    if (name == "chart") {
      const std::string *text = in.text(name);
      if (text && *text != "svg") in.error = "chart must be 'svg', not '" + *text + "'";
      r.chart = true;
    } else if (name == "compare") {
      for (auto [first, last] = q.equal_range(name); first != last && in.error.empty(); ++first)
        in.error = set_design_option(o, name, first->second).value_or("");
    } else if (const std::string *text = in.text(name)) {
      in.error = set_design_option(o, name, *text).value_or("");
    }
  }
  if (in.error.empty()) in.error = read_tables(in, o);
  if (in.error.empty()) in.error = design_refusal(o).value_or("");
  if (!in.error.empty()) return error_reply(400, in.error);
  return r;
}

// A design solves its problems one after another: each within --max-ntot,
// their applicants added up within design_problems times it, and by the
// nested method their outcomes within its limit for one problem.
std::optional<std::string> beyond_limits(const design_options &o, const serve_limits &l) {
  if (o.ntot > l.max_ntot) return beyond_max_ntot("ntot = " + std::to_string(o.ntot) + " is", l);
  const std::int64_t problems = design_problems(o);
  const std::int64_t applicants = problems * o.ntot;
  const std::int64_t most = std::int64_t{l.design_problems} * l.max_ntot;
  if (applicants > most)
    return "the design solves up to " + std::to_string(problems) + " problems of " +
           std::to_string(o.ntot) + " applicants, " + std::to_string(applicants) +
           " in all, more than this server computes in one design (at most " +
           std::to_string(most) + ", " + std::to_string(l.design_problems) +
           " times --max-ntot); fewer points draw the same front more coarsely";
  const std::int64_t cells = applicants * design_nhire(o);
  if (o.method == ai_method::nested && cells > l.nested_max_cells)
    return nested_beyond_limit(cells, " summed over the design's problems", l);
  return std::nullopt;
}

} // namespace

reply design_reply(design_form form, const query_params &q, serve_context &c) {
  auto read = read_design(form, q);
  if (const reply *bad = std::get_if<reply>(&read)) return *bad;
  const bool chart = std::get<design_request>(read).chart;
  design_options &o = std::get<design_request>(read).o;
  if (const auto why = beyond_limits(o, c.limits)) return error_reply(422, *why);
  o.threads = 1;
  o.cancel = &c.stopping;
  return at_the_gate(c, [&]() -> reply {
    const double t0 = thread_cpu_seconds();
    const design_result r = solve_design(o);
    if (r.cancelled) return stopping_reply();
    // A design with a problem that gave up is refused (the command line's
    // exit status 3); its document says which.
    if (form == design_form::csv)
      return r.error.empty() ? reply{200, "text/csv; charset=utf-8", design_csv(o, r)}
                             : error_reply(422, r.error);
    if (form == design_form::svg)
      return r.error.empty() ? reply{200, "image/svg+xml", design_svg(o, r)}
                             : error_reply(422, r.error);
    nlohmann::ordered_json doc = design_document(o, r, {1, thread_cpu_seconds() - t0});
    if (chart && r.error.empty()) doc["chart"] = design_svg(o, r);
    return {r.error.empty() ? 200 : 422, "application/json", json_text(doc)};
  });
}
