// The server's handlers: a query in, the command line's document out.
#include "server/serve_api.h"

#include <optional>
#include <variant>
#include <vector>

#include "engine/table.h"
#include "input/clock.h"
#include "input/number.h"
#include "input/options.h"
#include "report/export.h"
#include "report/plot.h"

namespace {

// One of the four values of the problem, read as every parameter is read
// (the free-form reader's own rules are standard input's); a value that is
// not needed may be left empty.
void problem_value(query_reader &in, const std::string &name, int &v, bool needed) {
  const std::string *t = needed ? in.required(name) : in.text(name);
  if (t && !t->empty()) in.error = read_whole(name, *t, v);
}
void problem_value(query_reader &in, const std::string &name, double &v, bool needed) {
  const std::string *t = needed ? in.required(name) : in.text(name);
  if (t && !t->empty()) in.error = read_number(name, *t, v);
}

struct distribution_request {
  distribution_form form = distribution_form::json;
  problem p;
  solve_options opt;
  bool rows = false; // JSON only: rows=all
};

std::variant<distribution_request, reply> read_distribution(distribution_form form,
                                                            const query_params &q) {
  distribution_request r{form, {}, {}, false};
  query_reader in{q, ""};
  const bool json = form == distribution_form::json;
  std::vector<std::string> names = {"ntot",     "nhire",  "esize", "prop",
                                    "minority", "method", "alpha"};
  if (json) names.emplace_back("rows");
  in.allow(names);
  // Options before the problem, as the command line checks them first.
  in.option("minority", r.opt.minority, [](const std::string &n, const std::string &t, int &v) {
    return read_count(n, t, 0, v);
  });
  in.option("method", r.opt.method, read_method);
  in.option("alpha", r.opt.alpha, read_alpha);
  if (json) in.option("rows", r.rows, read_rows);
  problem_value(in, "ntot", r.p.ntot, true);
  problem_value(in, "nhire", r.p.nhire, true);
  problem_value(in, "esize", r.p.esize, true);
  problem_value(in, "prop", r.p.prop, r.opt.minority < 0); // a known pool needs no proportion
  if (!in.error.empty()) return error_reply(400, in.error);
  if (const auto why = figures_refusal(r.p, r.opt)) return error_reply(400, *why);
  return r;
}

// Why the table's rows are not listed: more than the limit (or than this
// machine holds). A known pool's table has one row per outcome and the
// undefined one.
std::optional<std::string> rows_refusal(const distribution_request &r, const serve_limits &l) {
  const std::int64_t rows =
      r.opt.minority >= 0 ? r.p.nhire + 2 : candidate_count(r.p.ntot, r.p.nhire);
  if (rows > l.max_rows)
    return "the table would list up to " + std::to_string(rows) +
           " candidate ratios, more than this server lists (at most " + std::to_string(l.max_rows) +
           " rows); the figures need no table";
  return refusal(r.p, r.opt);
}

std::optional<std::string> beyond_limits(const distribution_request &r, const serve_limits &l) {
  if (r.p.ntot > l.max_ntot)
    return beyond_max_ntot("ntot = " + std::to_string(r.p.ntot) + " is", l);
  const std::int64_t cells = std::int64_t{r.p.ntot} * r.p.nhire;
  if (r.opt.method == ai_method::nested && cells > l.nested_max_cells)
    return nested_beyond_limit(cells, "", l);
  if (r.form != distribution_form::json) return rows_refusal(r, l);
  return std::nullopt;
}

reply computed(const distribution_request &r, const serve_limits &l,
               const std::atomic<bool> &stopping) {
  solve_options opt = r.opt;
  opt.cancel = &stopping;
  const double t0 = thread_cpu_seconds();
  const auto no_rows = rows_refusal(r, l);
  if (r.form == distribution_form::json && (!r.rows || no_rows)) {
    const figures f = solve_figures(r.p, opt);
    if (f.status.cancelled) return stopping_reply();
    if (const auto why = check_refusal(f.check)) return error_reply(422, *why);
    const run_facts facts{1, thread_cpu_seconds() - t0};
    const json_rows table{nullptr, r.rows ? *no_rows : ""};
    return {completed(f.status) ? 200 : 422, "application/json",
            json_text(json_document(r.p, opt, f, facts, table))};
  }
  const solution s = solve(r.p, opt);
  if (s.status.cancelled) return stopping_reply();
  if (const auto why = check_refusal(s.check)) return error_reply(422, *why);
  if (r.form == distribution_form::json)
    return {completed(s.status) ? 200 : 422, "application/json",
            json_text(json_document(r.p, opt, s, {1, thread_cpu_seconds() - t0}))};
  if (!completed(s.status)) return error_reply(422, gave_up_reason(s.status));
  if (r.form == distribution_form::csv) return {200, "text/csv; charset=utf-8", csv_document(s)};
  return {200, "image/svg+xml", distribution_svg(plot_of(r.p, s))};
}

} // namespace

reply distribution_reply(distribution_form form, const query_params &q, serve_context &c) {
  auto read = read_distribution(form, q);
  if (const reply *bad = std::get_if<reply>(&read)) return *bad;
  const distribution_request &r = std::get<distribution_request>(read);
  if (const auto why = beyond_limits(r, c.limits)) return error_reply(422, *why);
  return at_the_gate(c, [&] { return computed(r, c.limits, c.stopping); });
}
