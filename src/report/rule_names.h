#pragma once

#include <string>

// How the pages name each rule of flagging_rules(): a short name for a
// column heading ("4/5", "Z", ...) and its title.
std::string rule_abbreviation(const std::string &rule);
std::string rule_title(const std::string &rule);
