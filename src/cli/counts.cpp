// Reading the counts and the events from text.
#include "cli/counts.h"

#include "input/table.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

namespace {

constexpr std::size_t max_counts_input = 65536;
constexpr std::size_t max_shown = 40; // characters of a bad field quoted back

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}
bool is_separator(char c) {
  return is_blank(c) || c == ',' || c == '\n' || c == '\r';
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && is_blank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back()))
    s.remove_suffix(1);
  return s;
}

// A field as a message quotes it: cut short, control characters as '?'.
std::string shown(std::string_view s) {
  std::string out(s.substr(0, max_shown));
  std::replace_if(
      out.begin(), out.end(),
      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }, '?');
  return s.size() > max_shown ? out + "..." : out;
}

// The whole number a field writes, or why it does not.
std::string whole_number(std::string_view field, const char *name, int &out) {
  std::string_view t = trimmed(field);
  if (t.size() > 1 && t.front() == '+' && t[1] != '-') t.remove_prefix(1);
  long long v = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (t.empty() || end != t.data() + t.size() || ec == std::errc::invalid_argument)
    return std::string(name) + " must be a whole number, not '" + shown(field) + "'";
  if (ec == std::errc::result_out_of_range || v > INT_MAX || v < INT_MIN)
    return std::string(name) + " = " + shown(t) + " is beyond the range of a count";
  out = static_cast<int>(v);
  return "";
}

std::vector<std::string_view> free_form_tokens(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t at = 0;
  while (at < text.size()) {
    if (is_separator(text[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < text.size() && !is_separator(text[end]))
      ++end;
    tokens.push_back(text.substr(at, end - at));
    at = end;
  }
  return tokens;
}

// A count cell of an events row: as count_cell reads it, or a negative whole
// number for audit_refusal to name; otherwise why it is not a count.
std::string count_from_cell(const std::string &cell, const char *name, int &out) {
  if (const auto c = count_cell(cell)) {
    out = *c;
    return "";
  }
  const auto v = number_cell(cell);
  if (v && *v < 0 && *v >= INT_MIN && std::floor(*v) == *v) {
    out = static_cast<int>(*v);
    return "";
  }
  if (v && std::floor(*v) == *v)
    return std::string(name) + " = " + shown_cell(cell) + " is beyond the range of a count";
  return std::string(name) + " must be a whole number, not '" + shown_cell(cell) + "'";
}

} // namespace

std::string counts_and_events_refusal(const std::string &events) {
  return "give the four counts or " + events + ", not both";
}

counts_reading counts_from_fields(const std::array<std::string_view, 4> &fields, double alpha) {
  counts_reading r;
  int *const targets[] = {&r.counts.minority_applicants, &r.counts.minority_hires,
                          &r.counts.majority_applicants, &r.counts.majority_hires};
  for (std::size_t i = 0; i < fields.size() && r.error.empty(); ++i)
    r.error = whole_number(fields[i], count_names[i], *targets[i]);
  if (r.error.empty())
    if (const auto why = audit_refusal(r.counts, alpha)) r.error = *why;
  return r;
}

counts_reading counts_from_free_form(std::string_view text, double alpha) {
  const std::vector<std::string_view> t = free_form_tokens(text);
  if (t.size() != 4)
    return {{},
            "expected the four counts minority_applicants minority_hires majority_applicants "
            "majority_hires, found " +
                std::to_string(t.size())};
  return counts_from_fields({t[0], t[1], t[2], t[3]}, alpha);
}

counts_reading read_counts(std::FILE *in, double alpha) {
  std::string text;
  int tokens = 0;
  bool in_token = false;
  for (int c = std::getc(in); c != EOF; c = std::getc(in)) {
    if (text.size() == max_counts_input)
      return {{},
              "more than " + std::to_string(max_counts_input) +
                  " characters of input without the four counts on their lines"};
    text += static_cast<char>(c);
    const bool separator = is_separator(static_cast<char>(c));
    if (!separator && !in_token) ++tokens;
    in_token = !separator;
    if (c == '\n' && tokens >= 4) break;
  }
  return counts_from_free_form(text, alpha);
}

events_reading events_from_csv(std::string_view text, double alpha) {
  const table_reading t = read_table(text);
  if (!t.error.empty()) {
    if (t.header.empty() && t.error.starts_with("the table is empty"))
      return {{},
              "the events file is empty: its first line must be the header " +
                  std::string(events_header)};
    return {{}, t.error};
  }
  std::string header;
  for (const std::string &f : t.header)
    header += (header.empty() ? "" : ",") + f;
  if (header != events_header)
    return {{},
            "line " + std::to_string(t.header_line) + ": the header must be " +
                std::string(events_header) + ", not '" + shown_cell(header) + "'"};
  events_reading r;
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    const auto &row = t.rows[i];
    const std::string where = "line " + std::to_string(t.lines[i]) + ": ";
    counts_reading c;
    int *const targets[] = {&c.counts.minority_applicants, &c.counts.minority_hires,
                            &c.counts.majority_applicants, &c.counts.majority_hires};
    for (std::size_t k = 0; k < 4 && c.error.empty(); ++k)
      c.error = count_from_cell(row[k + 1], count_names[k], *targets[k]);
    if (c.error.empty())
      if (const auto why = audit_refusal(c.counts, alpha)) c.error = *why;
    if (!c.error.empty()) return {{}, where + c.error};
    r.events.push_back({row[0], c.counts});
  }
  if (r.events.empty()) return {{}, "the events file has its header but no events"};
  return r;
}
