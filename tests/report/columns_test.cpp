// The report's number fields and layouts, compared as exact strings.
//
// tests/data/format/*.tsv hold reference renderings: one row per value and
// field, "kind hex value descriptor field", the double given by its IEEE bits
// (kind D) or an int in decimal (kind I). Every row must match character for
// character. corners.tsv also holds the fields' documented examples: signed
// zeros, the undefined AI value 999999.9, carries into the exponent, three-digit
// exponents, ties, infinities and NaNs.
#include "report/columns.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct golden_row {
  int line;
  std::string kind, hex, value, descriptor, field;
};

std::vector<golden_row> read_golden(const std::string &name) {
  std::ifstream in(std::string(TORVAN_TEST_DATA) + "/format/" + name);
  std::vector<golden_row> rows;
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    if (line == 1) continue; // column titles
    std::istringstream cells(text);
    golden_row r{line, {}, {}, {}, {}, {}};
    std::getline(cells, r.kind, '\t');
    std::getline(cells, r.hex, '\t');
    std::getline(cells, r.value, '\t');
    std::getline(cells, r.descriptor, '\t');
    std::getline(cells, r.field); // keeps its blanks
    rows.push_back(r);
  }
  return rows;
}

double from_bits(const std::string &hex) {
  std::uint64_t bits = 0;
  const auto res = std::from_chars(hex.data(), hex.data() + hex.size(), bits, 16);
  if (res.ec != std::errc() || res.ptr != hex.data() + hex.size() || hex.size() != 16)
    throw std::runtime_error("bad bit pattern " + hex);
  return std::bit_cast<double>(bits);
}

// Renders a row's value through its descriptor, e.g. "F13.5" or "I8".
std::string render_row(const golden_row &r) {
  const char letter = r.descriptor.at(0);
  const auto point = r.descriptor.find('.');
  const int w = std::stoi(r.descriptor.substr(1, point - 1));
  if (letter == 'I') return render_i(std::stoi(r.value), w);
  const int d = std::stoi(r.descriptor.substr(point + 1));
  const double v = from_bits(r.hex);
  if (letter == 'F') return render_f(v, w, d);
  if (letter == 'D') return render_d(v, w, d);
  throw std::runtime_error("unknown descriptor " + r.descriptor);
}

void expect_all_rows_match(const std::string &name, std::size_t min_rows) {
  const auto rows = read_golden(name);
  ASSERT_GE(rows.size(), min_rows) << name << " missing or truncated";
  int failures = 0;
  for (const auto &r : rows) {
    const std::string got = render_row(r);
    if (got == r.field) continue;
    ADD_FAILURE() << name << ":" << r.line << " " << r.value << " (" << r.hex << ") in "
                  << r.descriptor << "\n  expected [" << r.field << "]\n  got      [" << got << "]";
    if (++failures == 20) FAIL() << "stopping after 20 mismatches";
  }
}

} // namespace

TEST(ColumnsReference, SpecialValues) {
  expect_all_rows_match("corners.tsv", 700);
}

TEST(ColumnsReference, RandomValues) {
  expect_all_rows_match("random.tsv", 18800);
}

// Fields narrower than any the report uses: the 0 before the point gives way
// first, then the field overflows.
TEST(Columns, NarrowFields) {
  EXPECT_EQ(render_f(-0.5, 5, 3), "-.500");
  EXPECT_EQ(render_f(0.5, 4, 3), ".500");
  EXPECT_EQ(render_f(0.5, 3, 3), "***");
  EXPECT_EQ(render_f(1.5, 4, 3), "****"); // only a leading 0 may be dropped
  EXPECT_EQ(render_d(0.5, 11, 5), "0.50000E+00");
  EXPECT_EQ(render_d(0.5, 10, 5), ".50000E+00");
  EXPECT_EQ(render_d(-0.5, 11, 5), "-.50000E+00");
  EXPECT_EQ(render_d(-0.5, 10, 5), "**********");
  EXPECT_EQ(render_d(1.0e-120, 10, 5), ".10000-119");
  EXPECT_EQ(render_i(-1, 1), "*");
  EXPECT_EQ(render_f(-std::numeric_limits<double>::infinity(), 3, 1), "***");
}

// Rounding is of the double's exact value, once: the neighbours of a tie go
// their own way, and a tie itself goes to the even digit.
TEST(Columns, RoundsTheExactValueOnce) {
  EXPECT_EQ(render_f(std::nextafter(0.375, 0.0), 12, 2), "        0.37");
  EXPECT_EQ(render_f(0.375, 12, 2), "        0.38");
  EXPECT_EQ(render_f(std::nextafter(0.125, 1.0), 12, 2), "        0.13");
  EXPECT_EQ(render_f(0.125, 12, 2), "        0.12");
  EXPECT_EQ(render_d(0.125, 8, 2), "0.12E+00");
  EXPECT_EQ(render_d(std::nextafter(0.125, 1.0), 8, 2), "0.13E+00");
}

TEST(Columns, ZeroDecimalsAndSingleDigit) {
  EXPECT_EQ(render_f(2.5, 4, 0), "  2."); // a tie, to even
  EXPECT_EQ(render_f(-3.7, 4, 0), " -4.");
  EXPECT_EQ(render_f(-0.4, 3, 0), " 0.");
  EXPECT_EQ(render_f(0.4, 1, 0), ".");
  EXPECT_EQ(render_d(0.96, 7, 1), "0.1E+01");
  EXPECT_EQ(render_d(-7.0e-5, 8, 1), "-0.7E-04");
}

TEST(Columns, FieldArgumentsOutOfRangeThrow) {
  EXPECT_THROW(render_i(1, 0), std::logic_error);
  EXPECT_THROW(render_f(1.0, -3, 2), std::logic_error);
  EXPECT_THROW(render_f(1.0, 8, -1), std::logic_error);
  EXPECT_THROW(render_d(1.0, 8, 0), std::logic_error);
  EXPECT_THROW(render_d(1.0, 100000, 5), std::logic_error);
}

// The report's own layouts.
TEST(Layout, TableRow) {
  EXPECT_EQ(render_layout("(I8,F13.5,2X,D14.5,F16.12)", {3, 999999.9, 0.0, 1.0}),
            "       3 999999.90000     0.00000E+00  1.000000000000\n");
  const std::string row = render_layout("(I8,F13.5,2X,D14.5,F16.12)", {123, 0.25, -1e-120, 0.5});
  EXPECT_EQ(row, "     123      0.25000    -0.10000-119  0.500000000000\n");
  EXPECT_EQ(row.size(), 53u + 1);
}

TEST(Layout, MomentsKeepGoingAfterTheLastValue) {
  EXPECT_EQ(render_layout("(/,'Expected value, variance and standard deviation of the',/,"
                          "'AI ratio are:',3F10.4,' respectively')",
                          {0.8125, 0.0123456, -0.11111}),
            "\nExpected value, variance and standard deviation of the\n"
            "AI ratio are:    0.8125    0.0123   -0.1111 respectively\n");
}

TEST(Layout, AcceptedAsOneDiagnostic) {
  EXPECT_EQ(render_layout("(10X,I6,2I7,F10.5,D20.10)", {17, 4, -12, 1.0, 1.0000123456789}),
            "              17      4    -12   1.00000    0.1000012346E+01\n");
}

TEST(Layout, InnerErrorLine) {
  EXPECT_EQ(render_layout("('DQAG ERROR in FUN',I4)", {6}), "DQAG ERROR in FUN   6\n");
  EXPECT_EQ(render_layout("('DQAG ERROR in FUN',I4)", {-12345}), "DQAG ERROR in FUN****\n");
}

TEST(Layout, LineEnds) {
  EXPECT_EQ(render_layout("(/,'PROGRAM OUTPUT')", {}), "\nPROGRAM OUTPUT\n");
  EXPECT_EQ(render_layout("('A',/,/,'B')", {}), "A\n\nB\n");
  EXPECT_EQ(render_layout("(/,'CPU TIME IN SECONDS ',F12.2)", {0.125}),
            "\nCPU TIME IN SECONDS         0.12\n");
  EXPECT_EQ(render_layout("('x',/)", {}), "x\n\n");
  EXPECT_EQ(render_layout("()", {}), "\n");
  // Literal text is copied as is: commas, parentheses, slashes, blanks.
  EXPECT_EQ(render_layout("(20X,'++ (a, b) / c ++',2X)", {}),
            "                    ++ (a, b) / c ++  \n");
}

TEST(Layout, ProblemSpecification) {
  EXPECT_EQ(render_layout("(/,'PROBLEM SPECIFICATION',/,/,'Total number of applicants:',I7,/,"
                          "'Required number of new employees:',I7,/,"
                          "'Effect size predictor (composite):',F10.6,/,"
                          "'Proportion of minority applicants in applicant population:',F7.3)",
                          {150, 10, -1.0, 0.3}),
            "\nPROBLEM SPECIFICATION\n\n"
            "Total number of applicants:    150\n"
            "Required number of new employees:     10\n"
            "Effect size predictor (composite): -1.000000\n"
            "Proportion of minority applicants in applicant population:  0.300\n");
}

// A broken layout or value list is the program's own mistake; it must be
// reported, never read past or guessed at.
TEST(Layout, MalformedLayoutsThrow) {
  const char *broken[] = {
      "",     "I4",      "(I4",       "(I4))",    "('abc)",   "(I4,)",       "(,I4)",
      "(I)",  "(F10)",   "(F10.)",    "(D14.0)",  "(0I4)",    "(0X)",        "(X)",
      "(I0)", "(Q4)",    "(i4)",      "(I4 )",    "('a''b')", "(99999999X)", "(3)",
      "(2/)", "(I4'a')", "(F10.4.2)", "(I4,,I4)", "((I4))",   "(2'a')",
  };
  for (const char *layout : broken)
    EXPECT_THROW(render_layout(layout, {1}), std::logic_error) << layout;
}

TEST(Layout, ValueListMismatchThrows) {
  EXPECT_THROW(render_layout("(I4,I4)", {1}), std::logic_error);
  EXPECT_THROW(render_layout("(3F10.4)", {1.0, 2.0}), std::logic_error);
  EXPECT_THROW(render_layout("(I4)", {1, 2}), std::logic_error);
  EXPECT_THROW(render_layout("('no fields')", {1}), std::logic_error);
  EXPECT_THROW(render_layout("(I4)", {1.0}), std::logic_error);
  EXPECT_THROW(render_layout("(F10.4)", {1}), std::logic_error);
  EXPECT_THROW(render_layout("(D14.5)", {1}), std::logic_error);
}
