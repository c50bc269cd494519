// Reading a spreadsheet's table from text.
#include "input/table.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>

namespace {

constexpr std::size_t max_shown = 40; // characters of a cell quoted back

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s, char delimiter) {
  auto blank = [&](char c) { return c == ' ' || (c == '\t' && delimiter != '\t'); };
  while (!s.empty() && blank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && blank(s.back()))
    s.remove_suffix(1);
  return s;
}

bool is_line_end(char c) {
  return c == '\n' || c == '\r';
}

// The delimiter the header line uses most, outside quotes: tab, then comma,
// then semicolon on a tie; a comma when it holds none (one column).
char delimiter_of(std::string_view text) {
  std::array<std::pair<char, int>, 3> counts = {{{'\t', 0}, {',', 0}, {';', 0}}};
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (is_line_end(c)) break;
    for (auto &[d, n] : counts)
      n += c == d;
  }
  auto best = counts[1];
  for (const auto &entry : counts)
    if (entry.second > best.second) best = entry;
  return best.second > 0 ? best.first : ',';
}

struct record {
  std::vector<std::string> cells;
  int line = 0;
};

// Splits the text into records of cells, or says why it cannot (with the
// line of the fault).
struct splitter {
  std::string_view text;
  char delimiter;
  std::size_t at = 0;
  int line = 1;

  void line_end() {
    if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
    ++at;
    ++line;
  }

  // One quoted cell, from its opening quote; the error when it has no end.
  std::string quoted(std::string &cell) {
    const int opened = line;
    for (++at;; ++at) {
      if (at >= text.size())
        return "line " + std::to_string(opened) +
               ": a quoted field opened here has no closing quote";
      if (text[at] == '"') {
        if (at + 1 < text.size() && text[at + 1] == '"') {
          cell += '"';
          ++at;
          continue;
        }
        ++at;
        return "";
      }
      if (text[at] == '\r' || text[at] == '\n') {
        // A line break inside quotes is part of the cell, written as LF.
        const bool crlf = text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n';
        cell += '\n';
        at += crlf;
        ++line;
        continue;
      }
      cell += text[at];
    }
  }

  // The next record, or the error; false at the end of the text.
  bool next(record &r, std::string &error) {
    if (at >= text.size()) return false;
    r = {{}, line};
    for (;;) {
      std::string cell;
      std::size_t start = at;
      while (at < text.size() && is_blank(text[at]) && text[at] != delimiter)
        ++at;
      if (at < text.size() && text[at] == '"') {
        if (error = quoted(cell); !error.empty()) return true;
        while (at < text.size() && is_blank(text[at]) && text[at] != delimiter)
          ++at;
        if (at < text.size() && text[at] != delimiter && !is_line_end(text[at])) {
          error = "line " + std::to_string(line) +
                  ": a quoted field goes on after its closing quote (a quote inside a quoted "
                  "field is written twice: \"\")";
          return true;
        }
      } else {
        at = start;
        while (at < text.size() && text[at] != delimiter && !is_line_end(text[at]))
          ++at;
        cell = trimmed(text.substr(start, at - start), delimiter);
      }
      r.cells.push_back(std::move(cell));
      if (at >= text.size()) return true;
      if (is_line_end(text[at])) {
        line_end();
        return true;
      }
      ++at; // the delimiter
    }
  }
};

bool all_empty(const std::vector<std::string> &cells) {
  return std::all_of(cells.begin(), cells.end(), [](const std::string &c) { return c.empty(); });
}

table_reading refused(std::string error) {
  table_reading t;
  t.error = std::move(error);
  return t;
}

std::string line_prefix(int line) {
  return "line " + std::to_string(line) + ": ";
}

} // namespace

std::string counted(long long n, const std::string &noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

table_reading read_table(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  splitter split{text, delimiter_of(text)};
  table_reading t;
  record r;
  std::string error;
  bool header_seen = false;
  while (split.next(r, error)) {
    if (!error.empty()) return refused(error);
    if (all_empty(r.cells)) continue;
    if (!header_seen) {
      while (!r.cells.empty() && r.cells.back().empty())
        r.cells.pop_back();
      for (std::size_t i = 0; i < r.cells.size(); ++i)
        if (r.cells[i].empty())
          return refused(line_prefix(r.line) + "the header's column " + std::to_string(i + 1) +
                         " has no name");
      t.header = std::move(r.cells);
      t.header_line = r.line;
      header_seen = true;
      continue;
    }
    while (r.cells.size() > t.header.size() && r.cells.back().empty())
      r.cells.pop_back();
    if (r.cells.size() != t.header.size())
      return refused(line_prefix(r.line) +
                     counted(static_cast<long long>(r.cells.size()), "field") +
                     " where the header has " + std::to_string(t.header.size()));
    t.rows.push_back(std::move(r.cells));
    t.lines.push_back(r.line);
  }
  if (!header_seen) return refused("the table is empty: its first line must be the header");
  return t;
}

std::optional<double> number_cell(std::string_view cell) {
  std::string_view t = trimmed(cell, ',');
  if (t.size() > 1 && t.front() == '+' && t[1] != '-' && t[1] != '+') t.remove_prefix(1);
  double v = 0.0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v))
    return std::nullopt;
  return v;
}

std::optional<int> count_cell(std::string_view cell) {
  const auto v = number_cell(cell);
  if (!v || *v < 0 || *v > INT_MAX || std::floor(*v) != *v) return std::nullopt;
  return static_cast<int>(*v);
}

std::string shown_cell(std::string_view cell) {
  std::string out;
  std::size_t i = 0;
  for (; i < cell.size() && out.size() < max_shown; ++i) {
    const auto c = static_cast<unsigned char>(cell[i]);
    char buf[16];
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == 0x7f) {
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else if (c >= 0xC0 && i + 1 < cell.size()) {
      // A UTF-8 sequence: shown as it is unless it writes an invisible
      // character (no-break and zero-width spaces, directional marks, the
      // byte-order mark).
      const std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
      unsigned code = c & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
      for (std::size_t k = 1; k < n && i + k < cell.size(); ++k)
        code = code << 6 | (static_cast<unsigned char>(cell[i + k]) & 0x3F);
      const bool invisible = code == 0xA0 || code == 0xAD || (code >= 0x200B && code <= 0x200F) ||
                             (code >= 0x2028 && code <= 0x202F) || code == 0x2060 || code == 0xFEFF;
      if (invisible) {
        std::snprintf(buf, sizeof buf, "\\u{%X}", code);
        out += buf;
      } else {
        out += cell.substr(i, n);
      }
      i += n - 1;
    } else {
      out += static_cast<char>(c);
    }
  }
  return i < cell.size() ? out + "..." : out;
}
