#pragma once

#include <string>

// How the pages name each rule of flagging_rules(): a short name for a
// column heading ("4/5", "Z", ...) and its title.
std::string rule_abbreviation(const std::string &rule);
std::string rule_title(const std::string &rule);
// Why the rule's false-positive rate (its probability of flagging at esize 0)
// can exceed alpha, as a clause; empty for a rule whose rate cannot.
std::string rule_false_positive_cause(const std::string &rule);
