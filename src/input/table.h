#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Tables as people have them: a CSV or TSV file a spreadsheet saved, or cells
// copied from one and pasted. One reader for every table the program takes
// (events, groups, predictors, correlations); each caller checks the header
// and the cells it needs.

struct table_reading {
  std::vector<std::string> header;            // the header row's cells, trimmed
  int header_line = 0;                        // its line number in the text (1-based)
  std::vector<std::vector<std::string>> rows; // each exactly header.size() cells, trimmed
  std::vector<int> lines;                     // each row's line number in the text (1-based)
  std::string error; // "line N: ..." or a whole-file cause; then nothing else
};

// The delimiter (tab, comma or semicolon, whichever the header line holds
// most of) is found from the header line. Empty rows (also ",,,," rows) are
// skipped, any line ending (LF, CR LF, CR) is accepted, a field may be quoted
// as RFC 4180 quotes it (delimiters, line breaks and "" inside), and a UTF-8
// byte-order mark is skipped. Empty cells after the header's last named
// column, as spreadsheets write beside a wider block, are dropped.
table_reading read_table(std::string_view text);

// A count as a spreadsheet writes it ("50", " 50 ", "50.0"): a whole number
// from 0 to INT_MAX, or nothing.
std::optional<int> count_cell(std::string_view cell);

// A finite real number ("0.52", "-.09", "1e-3"), or nothing.
std::optional<double> number_cell(std::string_view cell);

// A cell as a message quotes it: control and invisible characters written
// out (\t, \r, \x1b, \u{FEFF} ...), cut to about 40 characters.
std::string shown_cell(std::string_view cell);

// "1 field", "3 fields": a count with its noun, singular for one.
std::string counted(long long n, const std::string &noun);
