// CSV and JSON forms of a computed distribution.
#include "report/export.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include <gsl/gsl_version.h>

#include "engine/pool.h"
#include "engine/rules.h"
#include "engine/shortest.h"

namespace {

// JSON has no NaN: an undefined moment or percentile is null.
nlohmann::ordered_json number(double v) {
  return std::isnan(v) ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(v);
}

// Row i of the table, its cumulative probability `below` added up before.
nlohmann::ordered_json row(const solution &s, std::size_t i, double below) {
  const bool defined = s.vai[i] != UNDEF_AI;
  return {{"n", i + 1},
          {"ai", defined ? nlohmann::ordered_json(s.vai[i]) : nlohmann::ordered_json(nullptr)},
          {"defined", defined},
          {"probability", s.pvai[i]},
          {"cumulative", below}};
}

nlohmann::ordered_json rows(const solution &s) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  running_total cum{s.method};
  for (std::size_t i = 0; i < s.vai.size(); ++i)
    out.push_back(row(s, i, cum.add(s.pvai[i])));
  return out;
}

nlohmann::ordered_json header(const problem &p, const solve_options &opt, const run_facts &facts) {
  nlohmann::ordered_json problem{
      {"ntot", p.ntot}, {"nhire", p.nhire}, {"esize", p.esize}, {"prop", p.prop}};
  if (opt.minority >= 0) problem["minority"] = opt.minority;
  nlohmann::ordered_json doc = program_fields();
  doc["problem"] = problem;
  doc["method"] = method_name(opt.method);
  doc["threads"] = facts.threads;
  doc["cpu_seconds"] = facts.cpu_seconds;
  return doc;
}

nlohmann::ordered_json adverse_impact(const audit &a) {
  return {{"alpha", a.alpha},
          {"no_comparison", a.no_comparison},
          {"four_fifths", a.four_fifths},
          {"four_fifths_one_person", a.four_fifths_one_person},
          {"z_test", a.z_test},
          {"fisher_exact", a.fisher_exact},
          {"z_ir", a.z_ir},
          {"four_fifths_and_z", a.four_fifths_and_z},
          {"four_fifths_not_z", a.four_fifths_not_z},
          {"z_not_four_fifths", a.z_not_four_fifths}};
}

// The pools whose probabilities the direct method could not bring within
// its error bound, with the factor by which each missed it.
nlohmann::ordered_json accuracy_warning(const std::vector<pool_event> &events) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (const pool_event &e : events)
    if (e.what == pool_event::kind::accuracy_shortfall)
      out.push_back({{"minority_applicants", e.nmin}, {"error_over_bound", e.raw}});
  return out;
}

std::string flag(bool b) {
  return b ? "true" : "false";
}

} // namespace

nlohmann::ordered_json program_fields() {
  return {{"program", "torvan"},
          {"version", TORVAN_VERSION},
          {"library", std::string("GNU Scientific Library ") + gsl_version}};
}

std::string csv_number(double v) {
  return shortest(v);
}

void csv_document(const solution &s, const std::function<void(const std::string &)> &write) {
  constexpr std::size_t rows_at_once = 4096;
  std::string out = csv_header;
  running_total cum{s.method};
  for (std::size_t i = 0; completed(s.status) && i < s.vai.size(); ++i) {
    const double below = cum.add(s.pvai[i]);
    const bool defined = s.vai[i] != UNDEF_AI;
    out += std::to_string(i + 1) + ',' + (defined ? csv_number(s.vai[i]) : "") + ',' +
           (defined ? "true" : "false") + ',' + csv_number(s.pvai[i]) + ',' + csv_number(below) +
           '\n';
    if ((i + 1) % rows_at_once == 0) {
      write(out);
      out.clear();
    }
  }
  write(out);
}

std::string csv_document(const solution &s) {
  std::string out;
  csv_document(s, [&](const std::string &part) { out += part; });
  return out;
}

std::string gave_up_reason(const mix_status &st) {
  if (st.cancelled) return "the computation was cancelled before every pool was computed";
  return "the integral for pool nmin = " + std::to_string(st.nmin) + ", outcome " +
         std::to_string(st.t) + " (" + std::to_string(st.j) +
         " majority hires) could not be accepted after the allowed retries; no distribution "
         "was computed (the direct method, --method direct, needs no such integral)";
}

namespace {

std::string short_number(double x) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2g", x);
  return buf;
}

} // namespace

std::optional<std::string> check_refusal(const method_check &c) {
  if (!c.checked || c.max_difference <= nested_refused_above) return std::nullopt;
  return "the nested method's cumulative probabilities differ from the direct method's by up "
         "to " +
         short_number(c.max_difference) +
         ": its fixed integration range does not hold this problem's scores; use --method "
         "direct";
}

std::optional<std::string> check_note(const method_check &c) {
  if (!c.checked || c.max_difference <= nested_noted_above || check_refusal(c)) return std::nullopt;
  return "note: the nested method's cumulative probabilities differ from the direct method's "
         "by up to " +
         short_number(c.max_difference) + " (--method direct is accurate to 1e-11)";
}

std::string joint_document(const problem &p, const solve_options &opt, const solution &s) {
  std::string out = joint_header;
  if (!completed(s.status)) return out;
  int pool = -1;
  std::vector<rule_flags> flags;
  for (const joint_entry &e : s.joint) {
    const int n1 = e.minority_applicants;
    const int n0 = p.ntot - n1;
    if (n1 != pool) flags = pool_flags(n1, n0, p.nhire, opt.alpha);
    pool = n1;
    const int x = e.minority_hires;
    const rule_flags &f = flags[static_cast<std::size_t>(x - std::max(0, p.nhire - n0))];
    const double ai = n1 > 0 && n0 > 0 ? outcome_ratio(x, p.nhire - x, n1, n0) : UNDEF_AI;
    out += std::to_string(n1) + ',' + std::to_string(x) + ',' + csv_number(e.probability) + ',' +
           (ai != UNDEF_AI ? csv_number(ai) : "") + ',' + flag(f.four_fifths) + ',' +
           flag(f.four_fifths_one_person) + ',' + flag(f.z_test) + ',' + flag(f.fisher_exact) +
           ',' + flag(f.z_ir) + '\n';
  }
  return out;
}

nlohmann::ordered_json json_document(const problem &p, const solve_options &opt, const figures &f,
                                     const run_facts &facts, const json_rows &table) {
  nlohmann::ordered_json doc = header(p, opt, facts);
  doc["completed"] = completed(f.status);
  if (!completed(f.status)) {
    doc["reason"] = gave_up_reason(f.status);
    return doc;
  }
  const ai_summary &sum = f.summary;
  if (table.rows) doc["rows"] = table.written ? nlohmann::ordered_json::array() : rows(*table.rows);
  if (!table.omitted.empty()) {
    doc["rows"] = nullptr;
    doc["rows_omitted"] = table.omitted;
  }
  doc["moments"] = {
      {"mean", number(sum.mean)}, {"variance", number(sum.var)}, {"sd", number(sum.sd)}};
  doc["p_undefined"] = sum.p_undefined;
  doc["undefined"] = {{"no_minority_hired", f.adverse_impact.undefined_no_minority_hired},
                      {"group_absent", f.adverse_impact.undefined_group_absent}};
  doc["skipped_pool_weight"] = f.status.skipped_weight;
  doc["skipped_outcome_weight"] = f.skipped_outcome_weight;
  doc["p_above_1_25"] = sum.p_above;
  doc["p_below_0_8"] = sum.p_below;
  doc["percentiles"] = {{"p5", number(sum.p5)},
                        {"p25", number(sum.p25)},
                        {"p50", number(sum.p50)},
                        {"p75", number(sum.p75)},
                        {"p95", number(sum.p95)}};
  doc["adverse_impact"] = adverse_impact(f.adverse_impact);
  if (const auto warn = accuracy_warning(f.events); !warn.empty()) doc["accuracy_warning"] = warn;
  return doc;
}

nlohmann::ordered_json json_document(const problem &p, const solve_options &opt, const solution &s,
                                     const run_facts &facts) {
  return json_document(p, opt, figures_of(s), facts, {&s, ""});
}

nlohmann::ordered_json json_error(const std::string &error) {
  return {{"program", "torvan"}, {"completed", false}, {"error", error}};
}

void write_with_rows(const nlohmann::ordered_json &doc, const solution *table, int indent,
                     const std::function<void(const std::string &)> &write) {
  // Quotes within strings are escaped, so the key's text is found only where
  // it is the key.
  const std::string key = indent < 0 ? "\"rows\":[]" : "\"rows\": []";
  const std::string text = json_dump(doc, indent);
  const std::size_t at = table ? text.find(key) : std::string::npos;
  if (at == std::string::npos) { // no rows, or the computation was not completed
    write(text);
    return;
  }
  const solution &s = *table;
  const std::size_t open = at + key.size() - 2; // at its '['
  // A row is an element of an array in the document's top level: two levels
  // in, as dump() would indent it; one line with no indent.
  const bool lines = indent >= 0;
  const std::size_t step = lines ? static_cast<std::size_t>(indent) : 0;
  const std::string pad(2 * step, ' ');
  constexpr std::size_t rows_at_once = 4096;
  std::string out = text.substr(0, open + 1);
  running_total cum{s.method};
  for (std::size_t i = 0; i < s.vai.size(); ++i) {
    std::string r = json_dump(row(s, i, cum.add(s.pvai[i])), indent);
    for (std::size_t nl = r.find('\n'); nl != std::string::npos; nl = r.find('\n', nl + 1))
      r.insert(nl + 1, pad);
    if (i > 0) out += ',';
    if (lines) out += '\n';
    out += pad;
    out += r;
    if ((i + 1) % rows_at_once == 0) {
      write(out);
      out.clear();
    }
  }
  if (lines && !s.vai.empty()) {
    out += '\n';
    out.append(step, ' ');
  }
  out += text.substr(open + 1);
  write(out);
}

void write_json(const problem &p, const solve_options &opt, const solution &s,
                const run_facts &facts, int indent,
                const std::function<void(const std::string &)> &write) {
  write_with_rows(json_document(p, opt, figures_of(s), facts, {&s, "", true}), &s, indent, write);
}

std::string json_text(const problem &p, const solve_options &opt, const solution &s,
                      const run_facts &facts, int indent) {
  std::string out;
  write_json(p, opt, s, facts, indent, [&](const std::string &part) { out += part; });
  return out;
}

std::string json_text(const problem &p, const solve_options &opt, const figures &f,
                      const run_facts &facts, int indent) {
  return json_document(p, opt, f, facts).dump(indent);
}

std::string json_error_text(const std::string &error, int indent) {
  return json_error(error).dump(indent);
}

nlohmann::ordered_json adverse_impact_json(const audit &a) {
  return adverse_impact(a);
}

std::string joint_csv_text(const problem &p, const solve_options &opt, const solution &s) {
  return joint_document(p, opt, s);
}

std::string json_reindented(const std::string &text, int indent) {
  const auto doc = nlohmann::ordered_json::parse(text, nullptr, false);
  if (doc.is_discarded()) throw std::invalid_argument("not a JSON document");
  return json_dump(doc, indent);
}

std::string json_dump(const nlohmann::ordered_json &doc, int indent) {
  return doc.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}
