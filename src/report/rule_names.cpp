// The rules' names on the pages.
#include "report/rule_names.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace {

struct rule_names {
  const char *name, *abbreviation, *title;
};
constexpr rule_names names[] = {
    {"four_fifths", "4/5", "four-fifths rule"},
    {"four_fifths_one_person", "4/5+1", "four-fifths rule, even with one more minority hire"},
    {"z_test", "Z", "two-proportion Z test (pooled variance)"},
    {"fisher_exact", "Fisher", "Fisher exact test (lower tail)"},
    {"z_ir", "Z_IR", "impact-ratio Z test (Morris & Lobsenz)"},
    {"four_fifths_and_z", "4/5&Z", "four-fifths rule and Z test"}};

const rule_names &named(const std::string &rule) {
  const auto n = std::find_if(std::begin(names), std::end(names),
                              [&](const rule_names &r) { return rule == r.name; });
  if (n == std::end(names)) throw std::invalid_argument("no rule is named '" + rule + "'");
  return *n;
}

} // namespace

std::string rule_abbreviation(const std::string &rule) {
  return named(rule).abbreviation;
}

std::string rule_title(const std::string &rule) {
  return named(rule).title;
}
