// Reading the groups of an audit from a table.
#include "input/groups.h"

#include <map>

#include "engine/groups.h"

namespace {

std::string line_of(int line) {
  return "line " + std::to_string(line) + ": ";
}

// A count cell, or why it is not one.
std::string count_from(const std::string &cell, const char *name, int &out) {
  if (const auto c = count_cell(cell)) {
    out = *c;
    return "";
  }
  const auto v = number_cell(cell);
  if (v && *v < 0) return std::string(name) + " = " + shown_cell(cell) + " is negative";
  if (v && *v == static_cast<double>(static_cast<long long>(*v)))
    return std::string(name) + " = " + shown_cell(cell) + " is beyond the range of a count";
  return std::string(name) + " must be a whole number, not '" + shown_cell(cell) + "'";
}

// The group of a row from its last three cells (name, applicants, hires).
std::string group_from(const std::vector<std::string> &row, std::size_t at, group_counts &g) {
  g.name = row[at];
  if (g.name.empty()) return "the group has no name";
  if (auto why = count_from(row[at + 1], "applicants", g.applicants); !why.empty()) return why;
  return count_from(row[at + 2], "hires", g.hires);
}

// A fault of the groups, placed on the line of the row at fault.
std::string placed(const groups_fault &f, const std::vector<int> &lines,
                   const std::vector<group_counts> &groups, const std::string &in) {
  if (f.group < 0) return (in.empty() ? "" : in + ": ") + f.why;
  const std::size_t i = static_cast<std::size_t>(f.group);
  if (f.repeats >= 0)
    return line_of(lines[i]) + "the group '" + shown_cell(groups[i].name) + "' is named twice" +
           (in.empty() ? "" : " in " + in) + " (first on line " +
           std::to_string(lines[static_cast<std::size_t>(f.repeats)]) + ")";
  return line_of(lines[i]) + f.why;
}

} // namespace

std::string header_line(const table_reading &t) {
  std::string header;
  for (const std::string &f : t.header)
    header += (header.empty() ? "" : ",") + f;
  return header;
}

groups_reading groups_from_table(std::string_view text, const std::string &reference,
                                 double alpha) {
  const table_reading t = read_table(text);
  if (!t.error.empty()) {
    if (t.header.empty() && t.error.starts_with("the table is empty"))
      return {{},
              "the groups file is empty: its first line must be the header " +
                  std::string(groups_header)};
    return {{}, t.error};
  }
  if (header_line(t) != groups_header)
    return {{},
            line_of(t.header_line) + "the header must be " + std::string(groups_header) +
                ", not '" + shown_cell(header_line(t)) + "'"};
  groups_reading r;
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    group_counts g;
    if (const std::string why = group_from(t.rows[i], 0, g); !why.empty())
      return {{}, line_of(t.lines[i]) + why};
    r.groups.push_back(g);
  }
  if (const auto f = groups_fault_of(r.groups, reference, alpha))
    return {{}, placed(*f, t.lines, r.groups, "")};
  return r;
}

group_events_reading group_events_from_table(const table_reading &t, const std::string &reference,
                                             double alpha) {
  group_events_reading r;
  std::map<std::string, std::size_t> at;
  std::vector<std::vector<int>> lines;
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    group_counts g;
    if (const std::string why = group_from(t.rows[i], 1, g); !why.empty())
      return {{}, line_of(t.lines[i]) + why};
    const auto [it, fresh] = at.emplace(t.rows[i][0], r.events.size());
    if (fresh) {
      r.events.push_back({t.rows[i][0], {}});
      lines.emplace_back();
    }
    r.events[it->second].groups.push_back(g);
    lines[it->second].push_back(t.lines[i]);
  }
  if (r.events.empty()) return {{}, "the events file has its header but no events"};
  for (std::size_t e = 0; e < r.events.size(); ++e)
    if (const auto f = groups_fault_of(r.events[e].groups, "", alpha))
      return {{},
              placed(*f, lines[e], r.events[e].groups,
                     "event " + std::to_string(e + 1) + " (" + shown_cell(r.events[e].name) + ")")};
  if (const auto why = group_events_refusal(r.events, reference, alpha)) return {{}, *why};
  return r;
}
