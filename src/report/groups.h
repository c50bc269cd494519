#pragma once

#include <nlohmann/json.hpp>

#include "torvan.h"

// The documents of an audit of several groups (torvan audit --groups) and of
// several events with groups. Each comparison with the reference is the
// two-group audit's document (report/audit.h) with the Holm-adjusted value
// "<p>_holm" beside each of its p-values; a figure without a value is null
// with "<name>_reason" beside it. Group names on the page have control
// characters shown as '?' and are cut to their column.

nlohmann::ordered_json groups_json(const groups_audit &g);
nlohmann::ordered_json group_events_json(const group_events_audit &e);

// Within 80 columns.
std::string groups_page(const groups_audit &g);
std::string group_events_page(const group_events_audit &e);
