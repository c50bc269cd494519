// The rules' names on the pages.
#include "report/rule_names.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace {

struct rule_names {
  const char *name, *abbreviation, *title, *false_positive_cause;
};
constexpr const char *fixed_ratio =
    "it compares the rates with a fixed ratio, whatever alpha and the "
    "sampling error; in small pools chance alone often meets it";
constexpr const char *normal_tail =
    "its z is only approximately normal: in small pools the discrete "
    "outcomes can put more than alpha beyond its critical value";
constexpr rule_names names[] = {
    {"four_fifths", "4/5", "four-fifths rule", fixed_ratio},
    {"four_fifths_one_person", "4/5+1", "four-fifths rule, even with one more minority hire",
     fixed_ratio},
    {"z_test", "Z", "two-proportion Z test (pooled variance)", normal_tail},
    // An exact test at alpha / 2 in every pool: its rate stays below alpha / 2.
    {"fisher_exact", "Fisher", "Fisher exact test (lower tail)", ""},
    {"z_ir", "Z_IR", "impact-ratio Z test (Morris & Lobsenz)",
     "it flags every outcome with no minority hire, where z falls without bound, at any alpha; "
     "small pools often hire no minority applicant"},
    {"four_fifths_and_z", "4/5&Z", "four-fifths rule and Z test", normal_tail}};

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

std::string rule_false_positive_cause(const std::string &rule) {
  return named(rule).false_positive_cause;
}
