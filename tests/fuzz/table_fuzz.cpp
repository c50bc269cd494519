// libFuzzer target for the spreadsheet-table reader. Whatever the bytes,
// read_table ends in a table or an error and:
// - an error leaves no header and no rows;
// - a table has a header of named columns, every row as wide as it, none
//   all empty, with ascending line numbers;
// - CR LF and CR line ends read exactly like LF ones.
#include "input/table.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void check(bool ok, const char *what) {
  if (ok) return;
  std::fprintf(stderr, "table invariant broken: %s\n", what);
  std::abort();
}

bool same(const table_reading &a, const table_reading &b) {
  return a.error.empty() == b.error.empty() && a.header == b.header && a.rows == b.rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  const table_reading t = read_table(bytes);
  if (!t.error.empty()) {
    check(t.header.empty() && t.rows.empty() && t.lines.empty(), "an error kept cells");
  } else {
    check(!t.header.empty(), "a table without a header");
    for (const auto &name : t.header)
      check(!name.empty(), "a header column without a name");
    check(t.rows.size() == t.lines.size(), "rows and lines differ in number");
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
      check(t.rows[i].size() == t.header.size(), "a row unlike the header");
      bool any = false;
      for (const auto &cell : t.rows[i])
        any = any || !cell.empty();
      check(any, "an empty row kept");
      check(i == 0 || t.lines[i] > t.lines[i - 1], "line numbers not ascending");
    }
  }
  // Line ends as LF alone, outside and inside quotes (a quoted line break
  // is kept as LF whatever its ending).
  std::string lf;
  for (std::size_t i = 0; i < size; ++i) {
    if (bytes[i] == '\r') {
      lf += '\n';
      if (i + 1 < size && bytes[i + 1] == '\n') ++i;
    } else {
      lf += bytes[i];
    }
  }
  check(same(t, read_table(lf)), "CR LF or CR reads unlike LF");
  return 0;
}
