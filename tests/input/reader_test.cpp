// The free-form problem reader: every reference case in data/reader, cases
// where this program's own rules decide, how far the reader reads, and that
// no input makes it misbehave.
#include "input/reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// What a read gives: the error message, or the four values when it succeeds.
struct outcome {
  std::string message;
  problem p;
};

outcome read_bytes(const std::string &bytes, problem start = {}) {
  std::FILE *f = fmemopen(const_cast<char *>(bytes.data()), bytes.size(), "r");
  outcome o{"", start};
  o.message = read_error_message(read_problem(f, o.p));
  std::fclose(f);
  return o;
}

outcome success(int ntot, int nhire, double esize, double prop) {
  return {"", {ntot, nhire, esize, prop}};
}

outcome failure(read_error e) {
  return {read_error_message(e), {}};
}

// Doubles are compared bit for bit: the reader promises the nearest double.
void expect_same(const outcome &want, const outcome &got) {
  EXPECT_EQ(want.message, got.message);
  if (!want.message.empty()) return;
  EXPECT_EQ(want.p.ntot, got.p.ntot);
  EXPECT_EQ(want.p.nhire, got.p.nhire);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(want.p.esize), std::bit_cast<std::uint64_t>(got.p.esize))
      << want.p.esize << " vs " << got.p.esize;
  EXPECT_EQ(std::bit_cast<std::uint64_t>(want.p.prop), std::bit_cast<std::uint64_t>(got.p.prop))
      << want.p.prop << " vs " << got.p.prop;
}

// ---- reference cases

const std::filesystem::path reader_data = std::filesystem::path(TORVAN_TEST_DATA) / "reader";

std::string slurp(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A D-format field such as 0.49406564584124654-323 drops the E before a
// three-digit exponent.
double parse_d_field(std::string text) {
  if (text.find('E') == std::string::npos) text.insert(text.find_last_of("+-"), "E");
  return std::strtod(text.c_str(), nullptr);
}

// NAME.out: the four values between "--- stdout ---" and "--- stderr ---",
// or the message lines between "--- stderr ---" and "--- end ---".
outcome parse_expected(const std::string &text) {
  std::istringstream in(text);
  std::string line, section;
  std::map<std::string, std::string> values;
  outcome o;
  while (std::getline(in, line)) {
    if (line.starts_with("--- "))
      section = line;
    else if (section == "--- stderr ---")
      o.message += line + "\n";
    else if (section == "--- stdout ---") {
      std::istringstream fields(line);
      std::string name, value;
      fields >> name >> value;
      values[name] = value;
    }
  }
  if (o.message.empty()) {
    o.p = {std::stoi(values.at("ntot")), std::stoi(values.at("nhire")),
           parse_d_field(values.at("esize")), parse_d_field(values.at("prop"))};
  }
  return o;
}

// Reference cases where this program's rules give a different result: a
// count that does not fit 32 bits is rejected, not wrapped around.
const std::map<std::string, outcome> own_rule = {
    // 2147483648 does not fit ntot (the reference wrapped it to -2147483648).
    {"int_over", failure(read_error::integer_range)},
    // The repeat count 10^39 has 40 significant digits, an allowed length,
    // but is far beyond any count of targets.
    {"repeat_40_sig_digits", failure(read_error::integer_range)},
};

std::vector<std::string> reference_cases() {
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(reader_data))
    if (entry.path().extension() == ".in") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

class reference : public testing::TestWithParam<std::string> {};

TEST_P(reference, reads_as_recorded) {
  const std::string name = GetParam();
  const std::string input = slurp(reader_data / (name + ".in"));
  const auto rule = own_rule.find(name);
  const outcome want =
      rule != own_rule.end() ? rule->second : parse_expected(slurp(reader_data / (name + ".out")));
  expect_same(want, read_bytes(input));
}

INSTANTIATE_TEST_SUITE_P(reader, reference, testing::ValuesIn(reference_cases()),
                         [](const auto &info) { return info.param; });

TEST(reader, all_reference_cases_are_present) {
  EXPECT_GE(reference_cases().size(), 70u);
}

// ---- cases where the reference data says nothing or this program decides

struct own_case {
  const char *name;
  std::string input;
  outcome want;
};

std::string digit_run(std::size_t n, char digit) {
  return std::string(n, digit);
}

const own_case own_cases[] = {
    {"int_min", "-2147483648 1 0 0\n", success(INT_MIN, 1, 0, 0)},
    {"int_below_min", "-2147483649 1 0 0\n", failure(read_error::integer_range)},
    // More digits than are kept must not wrap around into range.
    {"int_50_digits", "1" + digit_run(49, '0') + " 1 0 0\n", failure(read_error::integer_range)},
    {"int_long_zero_run", digit_run(100000, '0') + "7 1 0 0\n", success(7, 1, 0, 0)},
    {"repeat_max", "2147483647*5\n", success(5, 5, 5, 5)},
    {"repeat_over", "2147483648*5\n", failure(read_error::integer_range)},
    {"repeat_without_count", "*5\n", failure(read_error::bad_repetition)},
    // The value part of r*value cannot carry a count: its "*" ends it.
    {"star_ends_repeated_value", "1 1 2*3*4\n", success(1, 1, 3, 3)},
    // The comma after "2*" separates only the last of its nulls; the next
    // comma is a null value of its own.
    {"comma_after_repeat_nulls", "2*, ,5 6\n", success(0, 0, 0, 5)},
    {"exponent_letter_needs_a_digit_first", "1 1 0 e1,\n", failure(read_error::invalid_number)},
    {"real_overflow", "1 1 1e309 0\n", failure(read_error::real_range)},
    {"real_overflow_negative", "1 1 -1.8e308 0\n", failure(read_error::real_range)},
    {"real_largest", "1 1 1.7976931348623157e308 0\n", success(1, 1, DBL_MAX, 0)},
    {"real_exponent_limit", "1 1 1e99999999 0\n", failure(read_error::real_range)},
    {"real_exponent_beyond_limit", "1 1 1e-100000000 0\n", failure(read_error::exponent_field)},
    {"zero_with_huge_exponent", "1 1 0e99999999 -0.0\n", success(1, 1, 0.0, -0.0)},
    {"real_underflow_to_zero", "1 1 1e-400 -1e-400\n", success(1, 1, 0.0, -0.0)},
    // Just above and just below half the smallest subnormal.
    {"real_rounds_up_to_subnormal", "1 1 2.4703282292062328e-324 2.4703282292062327e-324\n",
     success(1, 1, 0x1p-1074, 0.0)},
    // 2^53 + 1 lies halfway between two doubles: ties go to the even one,
    // a 40th significant digit breaks the tie, a 41st is dropped unread.
    {"halfway_ties_to_even", "1 1 9007199254740993 9007199254740993.0\n",
     success(1, 1, 9007199254740992.0, 9007199254740992.0)},
    {"digit_40_breaks_tie", "1 1 9007199254740993." + digit_run(23, '0') + "1 0\n",
     success(1, 1, 9007199254740994.0, 0)},
    {"digit_41_is_dropped", "1 1 9007199254740993." + digit_run(24, '0') + "1 0\n",
     success(1, 1, 9007199254740992.0, 0)},
    // 40 digits just below 1 + 2^-53 and then 9s: rounding the full text
    // would give 1 + 2^-52, the 40 kept digits give 1.
    {"fraction_truncated_before_rounding", "1 1 1.00000000000000011102230246251565404236399999 0\n",
     success(1, 1, 1.0, 0)},
    {"integer_digits_beyond_40_scale", "1 1 1" + digit_run(308, '0') + " 1" + digit_run(309, '0'),
     failure(read_error::real_range)},
    {"integer_digits_beyond_40_in_range", "1 1 1" + digit_run(308, '0') + " 0\n",
     success(1, 1, 1e308, 0)},
    {"long_fraction_zero_run", "1 1 0." + digit_run(100000, '0') + "1e100001 0\n",
     success(1, 1, 1.0, 0)},
    {"long_exponent_zero_run", "1 1 1e" + digit_run(1000, '0') + "3 0\n", success(1, 1, 1000, 0)},
    // CR LF is a line end, so files with DOS line ends read like any other;
    // a lone CR is an ordinary character.
    {"crlf_lines", "100\r\n10\r\n0.5\r\n0.3\r\n", success(100, 10, 0.5, 0.3)},
    {"crlf_ends_repeat_nulls", "100 10 2*\r\n", success(100, 10, 0, 0)},
    {"crlf_comma_on_next_line", "100\r\n,10 0.5 0.3\r\n", success(100, 0, 10, 0.5)},
    {"lone_cr_is_no_separator", "100 10\r0.5 0.3\n", failure(read_error::invalid_number)},
    {"end_inside_exponent", "1 1 0 1.5e", failure(read_error::exponent_field)},
    {"end_after_sign", "1 1 0 -", failure(read_error::invalid_number)},
    {"end_after_repeat_star", "1 1 2*", failure(read_error::invalid_number)},
    {"nul_byte", "100\0 10 0.5 0.3\n"s, failure(read_error::invalid_number)},
    {"slash_ends_value", "100/ 10\n", success(100, 0, 0, 0)},
    {"point_in_repeated_integer", "2*1.5\n", failure(read_error::invalid_integer)},
    {"repeated_integer_into_reals", "3*7 0.25\n", success(7, 7, 7, 0.25)},
};

void PrintTo(const own_case &c, std::ostream *os) {
  *os << c.name;
}

class own : public testing::TestWithParam<own_case> {};

TEST_P(own, reads_by_our_rules) {
  expect_same(GetParam().want, read_bytes(GetParam().input));
}

INSTANTIATE_TEST_SUITE_P(reader, own, testing::ValuesIn(own_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(reader, null_values_keep_the_starting_values) {
  const problem start{7, 8, 9.5, 0.25};
  expect_same({"", start}, read_bytes(",,,,\n", start));
  expect_same({"", start}, read_bytes("/\n", start));
  expect_same({"", {1, 8, 9.5, 0.25}}, read_bytes("1 3*\n", start));
}

// ---- one field on its own (a query parameter of the server)

// Text without separators, read alone as ntot or esize, fails or succeeds as
// the same text in that place of a line on standard input; the target is
// left alone unless exactly one value is read.
// ---- how far the reader reads

// A terminal that has delivered one line: asking it for more would wait for
// the user, so the test records it as a fault.
struct terminal {
  std::string line;
  std::size_t pos = 0;
  bool asked_beyond = false;
};

ssize_t terminal_read(void *cookie, char *buf, size_t size) {
  auto &t = *static_cast<terminal *>(cookie);
  if (t.pos == t.line.size()) {
    t.asked_beyond = true;
    return 0;
  }
  if (size == 0) return 0;
  buf[0] = t.line[t.pos++]; // one character per call, as typed
  return 1;
}

TEST(reader, answers_a_typed_line_without_waiting_for_more) {
  for (const char *line : {"100 10 0.5 0.3 7 8\n", "4*5\r\n", "100 10 / 0.3\n",
                           "100\n10\n0.5\n0.3\n", "1 2 3 4\r\rx\n", ",,,,,\n"}) {
    terminal t{line};
    std::FILE *f = fopencookie(&t, "r", {terminal_read, nullptr, nullptr, nullptr});
    problem p;
    EXPECT_EQ(read_error::none, read_problem(f, p)) << line;
    EXPECT_FALSE(t.asked_beyond) << line;
    EXPECT_EQ(t.line.size(), t.pos) << line << " (the rest of the line is discarded)";
    std::fclose(f);
  }
}

// ---- conversion

// Numbers written with at most 40 significant digits, in every form the list
// allows, read as the C library reads the same number written plainly.
TEST(reader, numbers_convert_as_the_plain_text_does) {
  std::mt19937 rng(20240611);
  const auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  const char *const letters[] = {"e", "E", "d", "D", ""};
  for (int i = 0; i < 20000; ++i) {
    std::string digits = digit_run(pick(4), '0');
    for (int n = 1 + pick(37); n > 0; --n)
      digits += static_cast<char>('0' + pick(10));
    const int at = pick(static_cast<int>(digits.size()) + 1);
    const std::string point = pick(4) ? "." : "";
    const std::string mantissa =
        (pick(2) ? "-" : "") + digits.substr(0, at) + point + digits.substr(at);
    const int exponent = pick(700) - 350;
    const std::string letter = letters[pick(5)];
    // Without a letter the exponent's sign is what marks it.
    const std::string plus = exponent >= 0 && (letter.empty() || pick(2)) ? "+" : "";
    const std::string text = mantissa + letter + plus + std::to_string(exponent);
    const double want = std::strtod((mantissa + "e" + std::to_string(exponent)).c_str(), nullptr);
    const outcome got = read_bytes("1 1 0 " + text + "\n");
    if (std::isinf(want))
      EXPECT_EQ(read_error_message(read_error::real_range), got.message);
    else
      expect_same(success(1, 1, 0, want), got);
    if (HasFailure()) FAIL() << text;
  }
}

// Arbitrary bytes from the characters that matter to the reader: every read
// ends with a result, never a crash or a hang, and a successful one has read
// exactly through a line end or to the end of the input.
TEST(reader, arbitrary_input_ends_in_a_result) {
  const std::string alphabet = "0123456789+-.eEdD*,/ \t\n\r\0x"s;
  std::mt19937 rng(7);
  for (int i = 0; i < 50000; ++i) {
    std::string input;
    for (int n = rng() % 40; n > 0; --n)
      input += alphabet[rng() % alphabet.size()];
    std::FILE *f = fmemopen(input.data(), input.size(), "r");
    problem p;
    if (read_problem(f, p) == read_error::none) {
      const long at = std::ftell(f);
      EXPECT_TRUE(at == std::ssize(input) || (at > 0 && input[at - 1] == '\n'))
          << testing::PrintToString(input);
    }
    std::fclose(f);
  }
}

} // namespace
