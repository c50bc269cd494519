// The text page, CSV and JSON of a design.
#include "report/design.h"

#include <algorithm>

#include "report/export.h"
#include "report/page.h"
#include "report/rule_names.h"

namespace {

std::string right(const std::string &s, std::size_t width) {
  return std::string(s.size() < width ? width - s.size() : 0, ' ') + s;
}

std::string left(const std::string &s, std::size_t width) {
  return s.size() < width ? s + std::string(width - s.size(), ' ') : s;
}

// A predictor's name in a column of `width`: cut with a '~' when longer.
std::string cell_name(const std::string &s, std::size_t width) {
  return s.size() <= width ? s : s.substr(0, width - 1) + "~";
}

std::string quoted(const std::string &s) {
  if (s.find_first_of(",\"\n\r") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s)
    out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

const char *matrix_name(design_matrix m) {
  return m == design_matrix::within ? "within" : "overall";
}

const char *weights_name(design_weights w) {
  return w == design_weights::nonnegative ? "nonnegative" : "free";
}

std::string heading(const design_options &opt, const design_result &r) {
  std::string out =
      "Predictors (" +
      std::string(opt.matrix == design_matrix::within ? "within-group" : "overall") +
      " correlations, " + (opt.weights == design_weights::nonnegative ? "non-negative" : "free") +
      " weights):\n" + "  " + left("name", 24) + right("validity", 10) + right("esize", 10) + "\n";
  for (const design_predictor &p : opt.predictors)
    out += "  " + left(cell_name(p.name, 23), 24) + right(printed("%.4f", p.validity), 10) +
           right(printed("%.4f", p.esize), 10) + "\n";
  out += "Selection: ntot = " + std::to_string(r.selection.ntot) +
         ", nhire = " + std::to_string(r.selection.nhire) + " (ratio " +
         printed("%.4g", r.selection_ratio) + "), ";
  out += r.solve.minority >= 0
             ? "a known pool of " + std::to_string(r.solve.minority) + " minority applicants"
             : "minority proportion " + printed("%.4g", r.minority_share);
  out += "\n           alpha = " + printed("%g", opt.alpha) + ", method " +
         method_name(opt.method) + "\n";
  return out;
}

// validity, esize, population impact ratio, then the six rules.
std::string figures_heading(const std::string &first) {
  std::string out = left(first, 12) + right("validity", 9) + right("esize", 9) + right("pop.IR", 8);
  for (const std::string &rule : flagging_rules())
    out += right(rule_abbreviation(rule), 7);
  return out + "\n";
}

std::string figures_line(const std::string &first, const design_point &pt) {
  std::string out = left(first, 12) + right(printed("%.4f", pt.validity), 9) +
                    right(printed("%.4f", pt.esize), 9) +
                    right(printed("%.4f", pt.population_impact_ratio), 8);
  for (const std::string &rule : flagging_rules())
    out += right(printed("%.4f", rule_probability(pt.f.adverse_impact, rule)), 7);
  return out + "\n";
}

// The weights, eight predictors to a block of columns.
std::string weights_part(const design_options &opt, const std::vector<design_point> &pts,
                         const std::vector<std::string> &labels) {
  constexpr std::size_t per_block = 8, width = 8;
  std::string out;
  for (std::size_t from = 0; from < opt.predictors.size(); from += per_block) {
    const std::size_t to = std::min(opt.predictors.size(), from + per_block);
    out += "\nweights     ";
    for (std::size_t i = from; i < to; ++i)
      out += right(cell_name(opt.predictors[i].name, width - 1), width);
    out += "\n";
    for (std::size_t j = 0; j < pts.size(); ++j) {
      out += left(labels[j], 12);
      for (std::size_t i = from; i < to; ++i)
        out += right(printed("%.4f", pts[j].weights[i]), width);
      out += "\n";
    }
  }
  return out;
}

std::string points_part(const design_options &opt, const std::vector<design_point> &pts,
                        bool front) {
  std::vector<std::string> labels;
  for (std::size_t j = 0; j < pts.size(); ++j)
    labels.push_back(front ? std::to_string(j + 1) : cell_name(pts[j].name, 11));
  std::string out = figures_heading(front ? "point" : "composite");
  for (std::size_t j = 0; j < pts.size(); ++j)
    out += figures_line(labels[j], pts[j]);
  return out + weights_part(opt, pts, labels);
}

std::string legend() {
  std::string out = "\npop.IR: the population impact ratio, minority rate over majority rate\n"
                    "in an infinite pool. The rules' columns: the exact probability that\n"
                    "each flags the minority:\n";
  for (const std::string &rule : flagging_rules())
    out += "  " + left(rule_abbreviation(rule), 7) + rule_title(rule) + "\n";
  return out;
}

nlohmann::ordered_json options_json(const design_options &opt) {
  nlohmann::ordered_json predictors = nlohmann::ordered_json::array();
  for (const design_predictor &p : opt.predictors)
    // cppcheck-suppress useStlAlgorithm
    predictors.push_back({{"name", p.name}, {"validity", p.validity}, {"esize", p.esize}});
  nlohmann::ordered_json o{{"predictors", predictors},
                           {"correlations", opt.correlations},
                           {"matrix", matrix_name(opt.matrix)},
                           {"weights", weights_name(opt.weights)},
                           {"ntot", opt.ntot}};
  if (opt.nhire) o["nhire"] = *opt.nhire;
  if (opt.selection_ratio) o["selection_ratio"] = *opt.selection_ratio;
  if (opt.prop) o["prop"] = *opt.prop;
  if (opt.minority) o["minority"] = *opt.minority;
  o["alpha"] = opt.alpha;
  o["method"] = method_name(opt.method);
  o["points"] = opt.points;
  o["rule"] = opt.rule;
  if (opt.max_risk) o["max_risk"] = *opt.max_risk;
  if (opt.min_impact_ratio) o["min_impact_ratio"] = *opt.min_impact_ratio;
  return o;
}

nlohmann::ordered_json point_json(const design_options &opt, const design_point &pt) {
  nlohmann::ordered_json j;
  if (!pt.name.empty()) j["name"] = pt.name;
  nlohmann::ordered_json weights = nlohmann::ordered_json::object();
  for (std::size_t i = 0; i < opt.predictors.size(); ++i)
    weights[opt.predictors[i].name] = pt.weights[i];
  j["weights"] = weights;
  j["validity"] = pt.validity;
  j["esize"] = pt.esize;
  j["population_impact_ratio"] = pt.population_impact_ratio;
  j["population_ai"] = pt.population_ai;
  j["p_undefined"] = pt.f.summary.p_undefined;
  j["p_above_1_25"] = pt.f.summary.p_above;
  j["adverse_impact"] = adverse_impact_json(pt.f.adverse_impact);
  return j;
}

std::string csv_line(const std::string &kind, const design_point &pt) {
  std::string out = kind + ',' + quoted(pt.name) + ',' + csv_number(pt.validity) + ',' +
                    csv_number(pt.esize) + ',' + csv_number(pt.population_impact_ratio) + ',' +
                    csv_number(pt.population_ai) + ',' + csv_number(pt.f.summary.p_undefined) +
                    ',' + csv_number(pt.f.summary.p_above);
  for (const std::string &rule : flagging_rules())
    out += ',' + csv_number(rule_probability(pt.f.adverse_impact, rule));
  for (double w : pt.weights)
    out += ',' + csv_number(w);
  return out + '\n';
}

} // namespace

std::string design_page(const design_options &opt, const design_result &r) {
  std::string out = "TORVAN design: the most valid composites and their exact risk of being "
                    "flagged\n\n" +
                    heading(opt, r);
  if (!r.error.empty()) return out + "\nNo design: " + r.error + "\n";
  out += "\nThe front, from the least adverse composite to the most valid:\n\n";
  out += points_part(opt, r.front, true);
  if (!r.compared.empty()) out += "\nCompared:\n\n" + points_part(opt, r.compared, false);
  out += legend();
  if (opt.max_risk || opt.min_impact_ratio) {
    out += "\n" + wrapped("Chosen: " + r.chosen_reason, 0);
    if (r.chosen) out += "\n" + points_part(opt, {*r.chosen}, false);
  }
  return out;
}

std::string design_csv(const design_options &opt, const design_result &r) {
  std::string out = "kind,name,validity,esize,population_impact_ratio,population_ai,p_undefined,"
                    "p_above_1_25";
  for (const std::string &rule : flagging_rules())
    out += ',' + rule;
  for (const design_predictor &p : opt.predictors)
    out += ',' + quoted("weight_" + p.name);
  out += '\n';
  if (!r.error.empty()) return out; // a problem failed: none of the points holds
  for (const design_point &pt : r.front)
    out += csv_line("front", pt);
  for (const design_point &pt : r.compared)
    out += csv_line("compared", pt);
  if (r.chosen) out += csv_line("chosen", *r.chosen);
  return out;
}

nlohmann::ordered_json design_document(const design_options &opt, const design_result &r,
                                       const run_facts &facts) {
  nlohmann::ordered_json doc = program_fields();
  doc["command"] = "design";
  doc["design"] = options_json(opt);
  nlohmann::ordered_json selection{
      {"ntot", r.selection.ntot}, {"nhire", r.selection.nhire}, {"prop", r.selection.prop}};
  if (r.solve.minority >= 0) selection["minority"] = r.solve.minority;
  selection["selection_ratio"] = r.selection_ratio;
  doc["selection"] = selection;
  doc["threads"] = facts.threads;
  doc["cpu_seconds"] = facts.cpu_seconds;
  doc["problems"] = r.problems;
  doc["completed"] = r.error.empty();
  if (!r.error.empty()) {
    doc["reason"] = r.error;
    return doc;
  }
  const auto points = [&](const std::vector<design_point> &pts) {
    nlohmann::ordered_json a = nlohmann::ordered_json::array();
    for (const design_point &pt : pts)
      a.push_back(point_json(opt, pt)); // cppcheck-suppress useStlAlgorithm
    return a;
  };
  doc["front"] = points(r.front);
  doc["compared"] = points(r.compared);
  doc["chosen"] = r.chosen ? point_json(opt, *r.chosen) : nlohmann::ordered_json(nullptr);
  doc["chosen_reason"] = r.chosen_reason;
  return doc;
}

std::string design_json_text(const design_options &opt, const design_result &r,
                             const run_facts &facts, int indent) {
  return json_dump(design_document(opt, r, facts), indent);
}
