// The predictors and correlations tables of a design.
#include "input/design_tables.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "input/table.h"

namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string line(int n) {
  return "line " + std::to_string(n) + ": ";
}

std::optional<std::string> number(const std::string &cell, const std::string &what, int at,
                                  double &value) {
  const auto v = number_cell(cell);
  if (!v) return line(at) + what + " must be a number, not '" + shown_cell(cell) + "'";
  value = *v;
  return std::nullopt;
}

} // namespace

std::optional<std::string> read_predictors(std::string_view text,
                                           std::vector<design_predictor> &out) {
  const table_reading t = read_table(text);
  if (!t.error.empty()) return t.error;
  std::vector<std::string> header;
  std::transform(t.header.begin(), t.header.end(), std::back_inserter(header), lower);
  const bool d = header == std::vector<std::string>{"name", "validity", "d"};
  if (!d && header != std::vector<std::string>{"name", "validity", "esize"}) {
    std::string shown;
    for (const std::string &h : t.header)
      shown += (shown.empty() ? "" : ",") + h;
    return line(t.header_line) +
           "the header must be name,validity,d or name,validity,esize, not '" + shown_cell(shown) +
           "'";
  }
  out.clear();
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    const auto &row = t.rows[i];
    design_predictor p{row[0], 0.0, 0.0};
    if (p.name.empty()) return line(t.lines[i]) + "a predictor needs a name";
    if (std::any_of(out.begin(), out.end(), [&](auto &q) { return q.name == p.name; }))
      return line(t.lines[i]) + "predictor '" + shown_cell(p.name) + "' appears twice";
    if (auto why = number(row[1], "the validity of " + p.name, t.lines[i], p.validity)) return why;
    if (auto why =
            number(row[2], std::string(d ? "d" : "esize") + " of " + p.name, t.lines[i], p.esize))
      return why;
    if (d) p.esize = -p.esize;
    out.push_back(p);
  }
  if (out.empty()) return std::string("no predictors: the table has its header but no rows");
  return std::nullopt;
}

std::optional<std::string> read_correlations(std::string_view text,
                                             const std::vector<design_predictor> &predictors,
                                             std::vector<std::vector<double>> &out) {
  const table_reading t = read_table(text);
  if (!t.error.empty()) return t.error;
  std::map<std::string, std::size_t> index;
  for (std::size_t i = 0; i < predictors.size(); ++i)
    index[predictors[i].name] = i;
  const auto position = [&](const std::string &name, int at,
                            std::vector<int> &seen) -> std::optional<std::string> {
    const auto it = index.find(name);
    if (it == index.end())
      return line(at) + "'" + shown_cell(name) + "' is not one of the predictors";
    if (seen[it->second] != 0) return line(at) + "'" + shown_cell(name) + "' appears twice";
    seen[it->second] = 1;
    return std::nullopt;
  };
  const std::size_t k = predictors.size();
  std::vector<int> in_header(k, 0), in_rows(k, 0);
  for (std::size_t c = 1; c < t.header.size(); ++c)
    if (auto why = position(t.header[c], t.header_line, in_header)) return why;
  for (std::size_t i = 0; i < t.rows.size(); ++i)
    if (auto why = position(t.rows[i][0], t.lines[i], in_rows)) return why;
  for (std::size_t i = 0; i < k; ++i) {
    if (in_header[i] == 0)
      return "predictor '" + predictors[i].name + "' has no column in the correlations";
    if (in_rows[i] == 0)
      return "predictor '" + predictors[i].name + "' has no row in the correlations";
  }
  out.assign(k, std::vector<double>(k, 0.0));
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    const std::size_t a = index[t.rows[i][0]];
    for (std::size_t c = 1; c < t.header.size(); ++c) {
      const std::size_t b = index[t.header[c]];
      if (auto why =
              number(t.rows[i][c],
                     "the correlation of " + predictors[a].name + " and " + predictors[b].name,
                     t.lines[i], out[a][b]))
        return why;
    }
  }
  return std::nullopt;
}
