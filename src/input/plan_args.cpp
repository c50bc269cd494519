// A plan's options from their text.
#include "input/plan_args.h"

#include "input/number.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <vector>

namespace {

std::optional<std::string> number(const std::string &name, const std::string &text,
                                  std::optional<double> &value) {
  double v = 0.0;
  if (std::string why = read_number(name, text, v); !why.empty()) return why;
  value = v;
  return std::nullopt;
}

bool whole(const std::string &text, int &value) {
  return read_whole("", text, value).empty();
}

std::optional<std::string> range(const std::string &text, std::optional<ntot_range> &value) {
  ntot_range r;
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  const bool parsed = first != std::string::npos && whole(text.substr(0, first), r.from) &&
                      whole(text.substr(first + 1, second - first - 1), r.to) &&
                      (second == std::string::npos || whole(text.substr(second + 1), r.step));
  if (!parsed) return "ntot must be A:B or A:B:STEP in whole numbers, not '" + text + "'";
  value = r;
  return std::nullopt;
}

std::optional<std::string> rule_list(const std::string &text, std::vector<std::string> &rules) {
  std::vector<std::string> names;
  for (std::size_t start = 0;;) {
    const std::size_t comma = text.find(',', start);
    names.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
    if (names.back().empty())
      return "rule needs one name, or names separated by commas, not '" + text + "'";
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  rules.insert(rules.end(), names.begin(), names.end());
  return std::nullopt;
}

} // namespace

std::optional<std::string> set_plan_option(plan_options &o, const std::string &name,
                                           const std::string &text) {
  if (name == "esize") return number(name, text, o.esize);
  if (name == "prop") return number(name, text, o.prop);
  if (name == "minority_share") return number(name, text, o.minority_share);
  if (name == "selection_ratio") return number(name, text, o.selection_ratio);
  if (name == "ntot") return range(text, o.ntot);
  if (name == "rule") return rule_list(text, o.rules);
  if (name == "nhire") {
    int h = 0;
    if (std::string why = read_whole(name, text, h); !why.empty()) return why;
    o.nhire = h;
    return std::nullopt;
  }
  if (name == "alpha" || name == "target") {
    std::optional<double> v;
    if (auto why = number(name, text, v)) return why;
    (name == "alpha" ? o.alpha : o.target) = *v;
    return std::nullopt;
  }
  if (name == "method") {
    const auto m = method_named(text);
    if (!m) return "method must be nested or direct, not '" + text + "'";
    o.method = *m;
    return std::nullopt;
  }
  return "no plan option is named '" + name + "'";
}

std::string with_flags(const std::string &message) {
  static constexpr const char *names[] = {"esize", "prop",  "minority_share", "selection_ratio",
                                          "nhire", "ntot",  "alpha",          "target",
                                          "rule",  "method"};
  const std::size_t quote = std::min(message.find('\''), message.size());
  std::string out;
  std::size_t at = 0;
  while (at < quote) {
    std::size_t end = at;
    while (end < quote &&
           (std::isalnum(static_cast<unsigned char>(message[end])) || message[end] == '_'))
      ++end;
    if (end == at) {
      out += message[at++];
      continue;
    }
    std::string word = message.substr(at, end - at);
    if (std::find(std::begin(names), std::end(names), word) != std::end(names)) {
      std::replace(word.begin(), word.end(), '_', '-');
      word.insert(0, "--");
    }
    out += word;
    at = end;
  }
  return out + message.substr(quote);
}
