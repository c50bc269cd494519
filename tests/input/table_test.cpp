// The spreadsheet-table reader: files as spreadsheets save them and cells as
// they are pasted all give the same table; what is still refused says why.
#include "input/table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using cells = std::vector<std::vector<std::string>>;

const cells expected = {{"a", "10", "2"}, {"b, c", "20", "5"}};

TEST(Table, SpreadsheetDialectsGiveTheSameTable) {
  const struct {
    const char *what;
    std::string text;
  } cases[] = {
      {"plain CSV", "name,n,x\na,10,2\n\"b, c\",20,5\n"},
      {"CR LF and no final line end", "name,n,x\r\na,10,2\r\n\"b, c\",20,5"},
      {"CR alone (old Mac)", "name,n,x\ra,10,2\r\"b, c\",20,5\r"},
      {"pasted cells (tabs)", "name\tn\tx\na\t10\t2\nb, c\t20\t5\n"},
      {"semicolons (a comma locale)", "name;n;x\na;10;2\nb, c;20;5\n"},
      {"byte-order mark", "\xEF\xBB\xBFname,n,x\na,10,2\n\"b, c\",20,5\n"},
      {"empty rows and Excel's trailing commas",
       "name,n,x,,\n\n,,,,\na,10,2,,\n\"b, c\",20,5,,\n,,,,\n"},
      {"blanks around cells", " name , n , x \n a , 10 , 2 \n \"b, c\" , 20 , 5 \n"},
  };
  for (const auto &c : cases) {
    const table_reading t = read_table(c.text);
    EXPECT_EQ(t.error, "") << c.what;
    EXPECT_EQ(t.header, (std::vector<std::string>{"name", "n", "x"})) << c.what;
    EXPECT_EQ(t.rows, expected) << c.what;
  }
}

TEST(Table, QuotedFieldsHoldDelimitersQuotesAndLineBreaks) {
  const table_reading t = read_table("name,n\n\"two\r\nlines\",1\n\"say \"\"hi\"\"\",2\nlast,3\n");
  ASSERT_EQ(t.error, "");
  EXPECT_EQ(t.rows, (cells{{"two\nlines", "1"}, {"say \"hi\"", "2"}, {"last", "3"}}));
  EXPECT_EQ(t.lines, (std::vector<int>{2, 4, 5})); // where each row starts
}

TEST(Table, RefusalsNameTheLineAndTheCause) {
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"", "the table is empty: its first line must be the header"},
      {"\n,,\n", "the table is empty: its first line must be the header"},
      {"a,,b\n1,2,3\n", "line 1: the header's column 2 has no name"},
      {"a,b,c\n1,2,3\n\n1,2\n", "line 4: 2 fields where the header has 3"},
      {"a,b\n1\n", "line 2: 1 field where the header has 2"},
      {"a,b\n1,2,3\n", "line 2: 3 fields where the header has 2"},
      {"a,b\n\"1,2\n", "line 2: a quoted field opened here has no closing quote"},
      {"a,b\n\"1\"x,2\n",
       "line 2: a quoted field goes on after its closing quote (a quote inside a quoted field is "
       "written twice: \"\")"},
  };
  for (const auto &c : cases) {
    const table_reading t = read_table(c.text);
    EXPECT_EQ(t.error, c.error) << c.text;
    EXPECT_TRUE(t.header.empty() && t.rows.empty()) << c.text;
  }
}

TEST(Table, CellsAsNumbers) {
  const struct {
    const char *cell;
    std::optional<int> count;
    std::optional<double> number;
  } cases[] = {
      {"50", 50, 50.0},
      {" 50 ", 50, 50.0},
      {"50.0", 50, 50.0},
      {"+7", 7, 7.0},
      {"0", 0, 0.0},
      {"2147483647", 2147483647, 2147483647.0},
      {"2147483648", {}, 2147483648.0},
      {"-1", {}, -1.0},
      {"50.5", {}, 50.5},
      {"-.09", {}, -0.09},
      {"1e-3", {}, 1e-3},
      {"", {}, {}},
      {"abc", {}, {}},
      {"5 0", {}, {}},
      {"nan", {}, {}},
      {"inf", {}, {}},
      {"1e400", {}, {}},
      {"\xEF\xBB\xBF"
       "50",
       {},
       {}},
      {"+-5", {}, {}},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(count_cell(c.cell), c.count) << c.cell;
    EXPECT_EQ(number_cell(c.cell), c.number) << c.cell;
  }
}

TEST(Table, InvisibleCharactersAreShown) {
  const struct {
    std::string cell;
    std::string shown;
  } cases[] = {
      {"50", "50"},
      {"\xEF\xBB\xBF"
       "50",
       "\\u{FEFF}50"},
      {"5\xC2\xA0", "5\\u{A0}"},
      {"a\tb\r\n", "a\\tb\\r\\n"},
      {"\x1b[31mred", "\\x1b[31mred"},
      {"Gr\xC3\xBC\xC3\x9F"
       "e",
       "Gr\xC3\xBC\xC3\x9F"
       "e"},
      {std::string(50, 'x'), std::string(40, 'x') + "..."},
  };
  for (const auto &c : cases)
    EXPECT_EQ(shown_cell(c.cell), c.shown);
}

} // namespace
