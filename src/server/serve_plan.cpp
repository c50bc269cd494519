// /api/plan and /api/plan.svg: a plan computed as `torvan plan` computes it,
// on one thread, within the server's limits on work.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <variant>

#include "engine/plan.h"
#include "input/clock.h"
#include "input/plan_args.h"
#include "report/plan.h"
#include "report/plan_plot.h"
#include "server/serve_api.h"

namespace {

struct plan_request {
  plan_options o;
  bool chart = false; // JSON with the chart: the page's one request for a plan
};

// Each parameter by the command line's function for the option of the same
// name; only rule may come more than once (each adds rules). chart=svg, on
// /api/plan only, adds the chart's SVG text to the document as "chart".
std::variant<plan_request, reply> read_plan(plan_form form, const query_params &q) {
  plan_request r;
  plan_options &o = r.o;
  query_reader in{q, ""};
  for (auto at = q.begin(); at != q.end() && in.error.empty(); at = q.upper_bound(at->first)) {
    const std::string &name = at->first;
    if (name == "chart" && form == plan_form::json) {
      const std::string *text = in.text(name);
      if (text && *text != "svg") in.error = "chart must be 'svg', not '" + *text + "'";
      r.chart = true;
    } else if (name == "rule") {
      for (auto [first, last] = q.equal_range(name); first != last && in.error.empty(); ++first)
        in.error = set_plan_option(o, name, first->second).value_or("");
    } else if (const std::string *text = in.text(name)) {
      in.error = set_plan_option(o, name, *text).value_or("");
    }
  }
  if (in.error.empty()) in.error = plan_refusal(o).value_or("");
  if (!in.error.empty()) return error_reply(400, in.error);
  return r;
}

// A plan computes its sizes one after another: the largest within
// --max-ntot, their applicants added up within plan_problems times it, and
// by the nested method their outcomes within its limit for one problem.
std::optional<std::string> beyond_limits(const plan_options &o, const serve_limits &l) {
  const ntot_range &r = *o.ntot;
  const std::int64_t sizes = (std::int64_t{r.to} - r.from) / r.step + 1;
  const std::int64_t last = r.from + (sizes - 1) * r.step;
  if (last > l.max_ntot)
    return beyond_max_ntot("ntot reaches " + std::to_string(last) + " applicants,", l);
  const std::int64_t applicants = sizes * r.from + r.step * sizes * (sizes - 1) / 2;
  const std::int64_t most = std::int64_t{l.plan_problems} * l.max_ntot;
  if (applicants > most)
    return "the plan's " + std::to_string(sizes) + " sizes add up to " +
           std::to_string(applicants) +
           " applicants, more than this server computes in one plan "
           "(at most " +
           std::to_string(most) + ", " + std::to_string(l.plan_problems) +
           " times --max-ntot); a larger step draws the same curves from fewer sizes";
  if (o.method != ai_method::nested) return std::nullopt;
  std::int64_t cells = 0;
  for (std::int64_t ntot = r.from; ntot <= last; ntot += r.step) {
    const int n = static_cast<int>(ntot);
    cells += ntot * std::min(n, plan_point_at(o, n).p.nhire);
  }
  if (cells > l.nested_max_cells)
    return nested_beyond_limit(cells, " summed over the plan's sizes", l);
  return std::nullopt;
}

} // namespace

reply plan_reply(plan_form form, const query_params &q, serve_context &c) {
  auto read = read_plan(form, q);
  if (const reply *bad = std::get_if<reply>(&read)) return *bad;
  const bool chart = std::get<plan_request>(read).chart;
  plan_options &o = std::get<plan_request>(read).o;
  if (const auto why = beyond_limits(o, c.limits)) return error_reply(422, *why);
  o.threads = 1;
  o.cancel = &c.stopping;
  return at_the_gate(c, [&]() -> reply {
    const double t0 = thread_cpu_seconds();
    const plan_result r = solve_plan(o);
    if (r.cancelled) return stopping_reply();
    // A plan the command line refuses (exit status 1) is refused here too;
    // its document still shows which rows failed and why.
    const auto missing = rows_missing_reason(r);
    if (form == plan_form::svg)
      return missing ? error_reply(422, *missing) : reply{200, "image/svg+xml", plan_svg(o, r)};
    nlohmann::ordered_json doc = plan_document(o, r, {1, thread_cpu_seconds() - t0});
    if (chart) doc["chart"] = plan_svg(o, r);
    if (missing) doc["error"] = *missing;
    return {missing ? 422 : 200, "application/json", json_text(doc)};
  });
}
