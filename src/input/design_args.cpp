// A design's options from their text.
#include "input/design_args.h"

#include <algorithm>

#include "input/number.h"
#include "input/options.h"

namespace {

std::optional<std::string> said(std::string why) {
  if (why.empty()) return std::nullopt;
  return why;
}

std::optional<std::string> number(const std::string &option, const std::string &text,
                                  std::optional<double> &value) {
  double v = 0.0;
  if (std::string why = read_number(option, text, v); !why.empty()) return why;
  value = v;
  return std::nullopt;
}

std::optional<std::string> count(const std::string &option, const std::string &text,
                                 std::optional<int> &value) {
  int v = 0;
  if (std::string why = read_count(option, text, 0, v); !why.empty()) return why;
  value = v;
  return std::nullopt;
}

// "unit", "regression", or NAME=w1,w2,...
std::optional<std::string> comparison(const std::string &option, const std::string &text,
                                      std::vector<design_comparison> &out) {
  const std::size_t eq = text.find('=');
  design_comparison c{text.substr(0, eq), {}};
  if (eq == std::string::npos) {
    if (c.name != "unit" && c.name != "regression")
      return option + " needs NAME=w1,w2,... (or unit, or regression), not '" + text + "'";
    out.push_back(c);
    return std::nullopt;
  }
  if (c.name.empty()) return option + " needs a name before '=', not '" + text + "'";
  for (std::size_t start = eq + 1;;) {
    const std::size_t comma = text.find(',', start);
    const std::string cell = text.substr(start, comma == std::string::npos ? comma : comma - start);
    double w = 0.0;
    if (!read_number(option, cell, w).empty()) {
      std::string why = option;
      why += " " + c.name + ": each weight must be a number, not '";
      return why + cell + "'";
    }
    c.weights.push_back(w);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  out.push_back(c);
  return std::nullopt;
}

} // namespace

std::optional<std::string> set_design_option(design_options &o, const std::string &option,
                                             const std::string &text) {
  std::string name = option;
  if (name.starts_with("--")) {
    name.erase(0, 2);
    std::replace(name.begin(), name.end(), '-', '_');
  }
  if (name == "matrix") {
    if (text != "within" && text != "overall")
      return option + " must be within or overall, not '" + text + "'";
    o.matrix = text == "within" ? design_matrix::within : design_matrix::overall;
    return std::nullopt;
  }
  if (name == "weights") {
    if (text != "nonnegative" && text != "free")
      return option + " must be nonnegative or free, not '" + text + "'";
    o.weights = text == "free" ? design_weights::free : design_weights::nonnegative;
    return std::nullopt;
  }
  if (name == "ntot") return said(read_count(option, text, 0, o.ntot));
  if (name == "nhire") return count(option, text, o.nhire);
  if (name == "minority") return count(option, text, o.minority);
  if (name == "selection_ratio") return number(option, text, o.selection_ratio);
  if (name == "prop") return number(option, text, o.prop);
  if (name == "alpha") return said(read_alpha(option, text, o.alpha));
  if (name == "method") return said(read_method(option, text, o.method));
  if (name == "points") return said(read_count(option, text, 1, o.points));
  if (name == "max_risk") return number(option, text, o.max_risk);
  if (name == "min_impact_ratio") return number(option, text, o.min_impact_ratio);
  if (name == "compare") return comparison(option, text, o.compare);
  if (name == "rule") {
    o.rule = text;
    return std::nullopt;
  }
  return "no design option is named '" + option + "'";
}
