// The text page, CSV and JSON of a plan.
#include "report/plan.h"

#include <algorithm>
#include <iterator>

#include "report/export.h"
#include "report/page.h"
#include "report/rule_names.h"

namespace {

std::string right(const std::string &s, std::size_t width) {
  return std::string(s.size() < width ? width - s.size() : 0, ' ') + s;
}

bool known_pools(const plan_options &opt) {
  return opt.minority_share.has_value();
}

std::string minority_text(const plan_row &r) {
  if (r.minority >= 0) return std::to_string(r.minority);
  return printed(r.expected_minority < 1e5 ? "%.1f" : "%.0f", r.expected_minority);
}

std::string range_text(const ntot_range &n) {
  return std::to_string(n.from) + " to " + std::to_string(n.to) +
         (n.step != 1 ? " in steps of " + std::to_string(n.step) : "");
}

std::string plan_part(const plan_options &opt) {
  std::string out = "Effect size " + shown(*opt.esize, 6) + "; ";
  out += known_pools(opt)
             ? "known pools of round(" + printed("%g", *opt.minority_share) +
                   " ntot) minority applicants\n"
             : "binomial pools, minority proportion " + printed("%.6f", *opt.prop) + "\n";
  out += opt.nhire
             ? "Hires: nhire = " + std::to_string(*opt.nhire)
             : "Hires: nhire = round(" + printed("%g", *opt.selection_ratio) + " ntot), at least 1";
  out += "; alpha = " + printed("%g", opt.alpha) + "; method " + method_name(opt.method) + "\n";
  out += "Pool sizes: ntot from " + range_text(*opt.ntot) + "\n";
  if (*opt.esize == 0.0)
    out += "\n" + wrapped("With esize 0 the two groups score alike: every probability below is "
                          "the rule's false-positive rate, how often it flags adverse impact "
                          "that is not there.",
                          0);
  return out;
}

int shortfalls(const plan_row &row) {
  return static_cast<int>(
      std::count_if(row.f.events.begin(), row.f.events.end(), [](const pool_event &e) {
        return e.what == pool_event::kind::accuracy_shortfall;
      }));
}

// ntot up to 10^7 - 1 in the first column, nhire and the minority
// applicants up to 10^6 after a blank, each probability in 7 (0.1234 after a
// blank): with six rules and a mark, 80 columns.
constexpr std::size_t ntot_width = 7, count_width = 8, prob_width = 7;

std::string rows_part(const plan_options &opt, const plan_result &r) {
  const std::vector<std::string> rules = plan_rules(opt);
  std::string out = "\n" + right("ntot", ntot_width) + right("nhire", count_width) +
                    right(known_pools(opt) ? "min" : "E[min]", count_width);
  for (const std::string &rule : rules)
    out += right(rule_abbreviation(rule), prob_width);
  out += right(">1.25", prob_width) + right("undef", prob_width) + '\n';
  bool short_of_bound = false;
  for (const plan_row &row : r.rows) {
    std::string line = right(std::to_string(row.ntot), ntot_width) +
                       right(std::to_string(row.nhire), count_width) +
                       right(minority_text(row), count_width);
    if (!row_computed(row)) {
      const std::size_t indent = ntot_width + 2 * count_width + 2;
      const std::string why = wrapped("not computed: " + row.error, indent);
      out += line + "  " + why.substr(indent);
      continue;
    }
    for (const std::string &rule : rules)
      line += right(printed("%.4f", rule_probability(row.f.adverse_impact, rule)), prob_width);
    line += right(printed("%.4f", row.f.summary.p_above), prob_width) +
            right(printed("%.4f", row.f.summary.p_undefined), prob_width);
    const bool short_here = shortfalls(row) > 0;
    short_of_bound = short_of_bound || short_here;
    out += line + (short_here ? "*" : "") + '\n';
  }
  std::string legend;
  for (const std::string &rule : rules)
    legend += std::string(rule_abbreviation(rule)) + ": " + rule_title(rule) + "; ";
  legend += ">1.25: P(AI > 1.25), the minority's rate below 4/5 of the majority's; undef: "
            "P(AI undefined); ";
  legend += known_pools(opt) ? "min: the minority applicants, round(share x ntot), halves up."
                             : "E[min]: the expected minority applicants, prop x ntot.";
  legend += " Four decimals; the sizes below use every digit.";
  if (short_of_bound)
    legend += " *: a pool of this row missed the direct method's error bound (see --format json).";
  return out + '\n' + wrapped(legend, 0);
}

// At esize 0, each rule whose false-positive rate exceeds alpha at some
// size: where, and why it can.
std::string false_positive_part(const plan_options &opt, const plan_result &r) {
  std::string out;
  for (const std::string &rule : plan_rules(opt)) {
    int above = 0, computed = 0, first = 0, last = 0;
    for (const plan_row &row : r.rows) {
      if (!row_computed(row)) continue;
      ++computed;
      if (!(rule_probability(row.f.adverse_impact, rule) > opt.alpha)) continue;
      if (above++ == 0) first = row.ntot;
      last = row.ntot;
    }
    if (above == 0) continue;
    const std::string where =
        above == computed ? "at every size"
                          : "at " + std::to_string(above) + " of " + std::to_string(computed) +
                                " sizes (ntot " + std::to_string(first) +
                                (first != last ? " to " + std::to_string(last) : "") + ")";
    const std::string cause = rule_false_positive_cause(rule);
    out += wrapped(rule_abbreviation(rule) + ": above alpha " + where +
                       (cause.empty() ? "." : ": " + cause + "."),
                   0);
  }
  return out.empty()
             ? out
             : "\nFalse-positive rates above alpha = " + printed("%g", opt.alpha) + "\n" + out;
}

std::string found_part(const plan_options &opt, const plan_result &r) {
  const bool fp = *opt.esize == 0.0;
  const std::string what = fp ? "false-positive rate" : "probability";
  std::string out =
      "\nWhere each rule's " + what + " reaches the target " + printed("%g", opt.target) + "\n";
  out += wrapped("first: the smallest ntot whose " + what +
                     " reaches it; stays: the smallest from which it stays at or above it to "
                     "ntot = " +
                     std::to_string(opt.ntot->to) + "; none: not reached in the range.",
                 2, 80);
  // The titles padded with dots to column 54, two sizes of 8 after them.
  out += '\n' + std::string(54, ' ') + right("first", 8) + right("stays", 8) + '\n';
  for (const plan_found &f : r.found) {
    std::string line = "  " + std::string(rule_title(f.rule)) + ' ';
    line.resize(std::max<std::size_t>(line.size(), 54), '.');
    out += line + right(f.first ? std::to_string(*f.first) : "none", 8) +
           right(f.stays ? std::to_string(*f.stays) : "none", 8) + '\n';
  }
  return out;
}

std::string quoted(const std::string &s) {
  std::string out = "\"";
  for (char c : s)
    out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + '"';
}

nlohmann::ordered_json options_json(const plan_options &opt) {
  nlohmann::ordered_json o{{"esize", *opt.esize}};
  if (opt.prop) o["prop"] = *opt.prop;
  if (opt.minority_share) o["minority_share"] = *opt.minority_share;
  if (opt.selection_ratio) o["selection_ratio"] = *opt.selection_ratio;
  if (opt.nhire) o["nhire"] = *opt.nhire;
  o["ntot"] = {{"from", opt.ntot->from}, {"to", opt.ntot->to}, {"step", opt.ntot->step}};
  o["alpha"] = opt.alpha;
  o["target"] = opt.target;
  o["rules"] = plan_rules(opt);
  o["method"] = method_name(opt.method);
  return o;
}

nlohmann::ordered_json row_json(const plan_options &opt, const plan_row &row) {
  nlohmann::ordered_json j{{"ntot", row.ntot}, {"nhire", row.nhire}};
  if (row.minority >= 0)
    j["minority"] = row.minority;
  else
    j["expected_minority"] = row.expected_minority;
  j["completed"] = row_computed(row);
  if (!row_computed(row)) {
    j["error"] = row.error;
    return j;
  }
  for (const std::string &rule : plan_rules(opt))
    j[rule] = rule_probability(row.f.adverse_impact, rule);
  j["p_above_1_25"] = row.f.summary.p_above;
  j["p_undefined"] = row.f.summary.p_undefined;
  j["accuracy_shortfalls"] = shortfalls(row);
  return j;
}

nlohmann::ordered_json size_json(const std::optional<int> &n) {
  return n ? nlohmann::ordered_json(*n) : nlohmann::ordered_json(nullptr);
}

} // namespace

std::string plan_page(const plan_options &opt, const plan_result &r) {
  std::string out = "TORVAN plan: the probability that each rule flags the minority, by pool "
                    "size\n\n" +
                    plan_part(opt);
  if (r.cancelled) return out + "\nNo plan: the computation was cancelled.\n";
  const std::string fp = *opt.esize == 0.0 ? false_positive_part(opt, r) : "";
  return out + rows_part(opt, r) + fp + found_part(opt, r);
}

std::string plan_csv(const plan_options &opt, const plan_result &r) {
  const std::vector<std::string> rules = plan_rules(opt);
  std::string out =
      std::string("ntot,nhire,") + (known_pools(opt) ? "minority" : "expected_minority");
  for (const std::string &rule : rules)
    out += ',' + rule;
  out += ",p_above_1_25,p_undefined,accuracy_shortfalls,error\n";
  for (const plan_row &row : r.rows) {
    out += std::to_string(row.ntot) + ',' + std::to_string(row.nhire) + ',' +
           (row.minority >= 0 ? std::to_string(row.minority) : csv_number(row.expected_minority));
    if (!row_computed(row)) {
      out += std::string(rules.size() + 3, ',') + ',' + quoted(row.error) + '\n';
      continue;
    }
    for (const std::string &rule : rules)
      out += ',' + csv_number(rule_probability(row.f.adverse_impact, rule));
    out += ',' + csv_number(row.f.summary.p_above) + ',' + csv_number(row.f.summary.p_undefined) +
           ',' + std::to_string(shortfalls(row)) + ",\n";
  }
  return out;
}

nlohmann::ordered_json plan_document(const plan_options &opt, const plan_result &r,
                                     const run_facts &facts) {
  nlohmann::ordered_json doc = program_fields();
  doc["command"] = "plan";
  doc["plan"] = options_json(opt);
  doc["threads"] = facts.threads;
  doc["cpu_seconds"] = facts.cpu_seconds;
  const auto failed = std::count_if(r.rows.begin(), r.rows.end(),
                                    [](const plan_row &row) { return !row_computed(row); });
  doc["completed"] = !r.cancelled && failed == 0;
  if (r.cancelled) {
    doc["reason"] = "the computation was cancelled before every row was computed";
    return doc;
  }
  doc["rows_failed"] = failed;
  if (failed > 0)
    doc["reason"] = std::to_string(failed) + " of " + std::to_string(r.rows.size()) +
                    " sizes could not be computed (the rows say why)";
  doc["false_positive"] = *opt.esize == 0.0;
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  std::transform(r.rows.begin(), r.rows.end(), std::back_inserter(rows),
                 [&](const plan_row &row) { return row_json(opt, row); });
  doc["rows"] = rows;
  nlohmann::ordered_json found = nlohmann::ordered_json::object();
  for (const plan_found &f : r.found)
    found[f.rule] = {{"first", size_json(f.first)}, {"stays", size_json(f.stays)}};
  doc["found"] = found;
  return doc;
}

std::string plan_json_text(const plan_options &opt, const plan_result &r, const run_facts &facts,
                           int indent) {
  return plan_document(opt, r, facts).dump(indent);
}

std::optional<std::string> rows_missing_reason(const plan_result &r) {
  const auto missing = std::count_if(r.rows.begin(), r.rows.end(),
                                     [](const plan_row &row) { return !row_computed(row); });
  if (missing == 0) return std::nullopt;
  return std::to_string(missing) + " of " + std::to_string(r.rows.size()) +
         " sizes could not be computed (the rows say why)";
}
