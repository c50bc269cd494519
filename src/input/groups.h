#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "input/table.h"
#include "torvan.h"

// The groups of an audit of several groups, from a table as input/table.h
// reads it: one group a row under the header group,applicants,hires, or
// several events under event,group,applicants,hires. A refusal names the row's
// line, or the table as a whole; nothing is audited from a refused table.

inline constexpr const char *groups_header = "group,applicants,hires";
inline constexpr const char *group_events_header = "event,group,applicants,hires";

// The header row as one line, its cells joined by commas.
std::string header_line(const table_reading &t);

struct groups_reading {
  std::vector<group_counts> groups;
  std::string error; // empty when accepted
};
groups_reading groups_from_table(std::string_view text, const std::string &reference, double alpha);

struct group_events_reading {
  std::vector<group_event> events; // in the order each event is first seen
  std::string error;
};
// A table read whole whose header is group_events_header.
group_events_reading group_events_from_table(const table_reading &t, const std::string &reference,
                                             double alpha);
