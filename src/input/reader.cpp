// The free-form reader of the problem: ntot, nhire, esize and prop.
//
// The input follows the list-directed rules of Fortran 77 (ANSI X3.9-1978,
// 13.6): values separated by blanks, commas or line ends; "r*value" serves r
// targets; an empty place between commas, or "r*" without a value, is a null
// value that leaves its target as it was; "/" ends the list early. Reals may
// be written 1.5E-3, 1.5d-3 or 1.5-3.
//
// The stream is read with getc and one character of lookahead, never further
// than the end of the line on which the last value stands: a user who types
// the four values and Enter gets the report without closing the input.
//
// Numbers are converted from their decimal text in one correctly rounded step
// (std::from_chars). Accumulating digit by digit (v = 10 * v + d) rounds at
// every step and misreads values near a halfway point such as 9007199254740993.
#include "input/reader.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <numeric>
#include <string>
#include <type_traits>
#include <utility>

namespace {

// A number keeps its first 40 significant digits; further integer digits
// only scale it by ten, further fraction digits are dropped.
constexpr int max_significant = 40;
// The largest exponent that may be written after E, D or a sign.
constexpr long long max_exponent = 99999999;
constexpr int nothing_put_back = -2;

bool is_blank(int c) {
  return c == ' ' || c == '\t';
}
bool is_digit(int c) {
  return c >= '0' && c <= '9';
}
bool is_sign(int c) {
  return c == '+' || c == '-';
}
bool is_exponent_letter(int c) {
  return c == 'E' || c == 'e' || c == 'D' || c == 'd';
}

// The input stream as the reader sees it. A carriage return directly before
// a newline belongs to the line end, so files with CR LF line ends read like
// LF files; a lone carriage return is an ordinary character.
struct source {
  std::FILE *in = nullptr;
  int back = nothing_put_back; // the one character the reader put back
  bool stream_ended = false;   // the stream reported its end; never ask it again
};

// Once the stream has ended it is not asked again: at a terminal a further
// getc would wait for the user to type more.
int read_stream(source &s) {
  if (s.stream_ended) return EOF;
  const int c = std::getc(s.in);
  if (c == '\r') {
    const int next = std::getc(s.in);
    if (next == '\n') return '\n';
    if (next == EOF)
      s.stream_ended = true;
    else
      std::ungetc(next, s.in);
  }
  if (c == EOF) s.stream_ended = true;
  return c;
}

int get(source &s) {
  return s.back != nothing_put_back ? std::exchange(s.back, nothing_put_back) : read_stream(s);
}

void put_back(source &s, int c) {
  s.back = c;
}

int skip_blanks(source &s) {
  int c = get(s);
  while (is_blank(c))
    c = get(s);
  return c;
}

int skip_blanks_and_line_ends(source &s) {
  int c = get(s);
  while (is_blank(c) || c == '\n')
    c = get(s);
  return c;
}

// The digits of one number: the significant ones kept, and the power of ten
// that the point and the integer digits beyond the kept ones give them.
struct digits {
  std::string kept;     // at most max_significant digits, no leading zeros
  long long scale = 0;  // counts characters, so it cannot overflow
  bool seen = false;    // any digit, leading zeros included
  bool dropped = false; // integer digits beyond the kept ones
};

// Reads a run of digits starting at c; c ends at the character after it.
void read_digits(source &s, int &c, digits &d, bool fraction) {
  for (; is_digit(c); c = get(s)) {
    d.seen = true;
    if (c == '0' && d.kept.empty()) {
      if (fraction) --d.scale;
    } else if (std::ssize(d.kept) < max_significant) {
      d.kept += static_cast<char>(c);
      if (fraction) --d.scale;
    } else if (!fraction) {
      ++d.scale;
      d.dropped = true;
    }
  }
}

// The integer that a sign and integer digits write, if it fits 32 bits.
bool to_int(int sign, const digits &d, int &out) {
  if (std::ssize(d.kept) > 10) return false; // also when digits were dropped
  long long v = std::accumulate(d.kept.begin(), d.kept.end(), 0LL,
                                [](long long a, char ch) { return 10 * a + (ch - '0'); });
  if (sign == '-') v = -v;
  if (v < INT_MIN || v > INT_MAX) return false;
  out = static_cast<int>(v);
  return true;
}

// Nearest double to sign * kept * 10^(scale + exponent). Returns false when
// that is beyond the largest double; a value too small for a double becomes
// the nearest one, a subnormal or zero, as from_chars cannot report it.
bool to_double(int sign, const digits &d, long long exponent, double &out) {
  const double zero = sign == '-' ? -0.0 : 0.0;
  if (d.kept.empty()) {
    out = zero;
    return true;
  }
  // Beyond these powers the value is out of range or rounds to zero whatever
  // its (at most 40) digits; clamping keeps the text short.
  const long long power = std::clamp(d.scale + exponent, -1000LL, 1000LL);
  const std::string text = (sign == '-' ? "-" : "") + d.kept + "e" + std::to_string(power);
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  if (ec == std::errc()) return true;
  // from_chars fails only for values rounding to zero or beyond the largest
  // double; a value of at least 1 is the latter.
  if (std::ssize(d.kept) + power > 0) return false;
  out = zero;
  return true;
}

// The value the list gives the current target; integer targets have it in
// both members, real targets only in `real`.
struct value {
  bool present = false; // false for a null value
  int integer = 0;
  double real = 0.0;
};

enum class kind { integer, real };

// Reads the exponent after a mantissa, c at its E, D or sign.
read_error read_exponent(source &s, int &c, long long &exponent) {
  if (is_exponent_letter(c)) c = get(s);
  const int sign = is_sign(c) ? std::exchange(c, get(s)) : 0;
  if (!is_digit(c)) return read_error::exponent_field;
  long long e = 0;
  for (; is_digit(c); c = get(s)) {
    e = 10 * e + (c - '0');
    if (e > max_exponent) return read_error::exponent_field;
  }
  exponent = sign == '-' ? -e : e;
  return read_error::none;
}

// With no digit, the text read is a null value when a separator or "/" ended
// it, or when it followed "r*" and a blank or line end ended it.
read_error no_digits(int c, bool repeated) {
  if (c == ',' || c == '/' || (repeated && (is_blank(c) || c == '\n'))) return read_error::none;
  return read_error::invalid_number;
}

// Reads the rest of a value after its sign and integer digits, c at the
// character after them. Puts back the character that ends the value.
read_error finish_value(source &s, int &c, kind k, int sign, digits &d, bool repeated, value &v) {
  if (c == '.') {
    if (k == kind::integer) return read_error::invalid_integer;
    c = get(s);
    read_digits(s, c, d, true);
  }
  long long exponent = 0;
  if (is_sign(c) || (d.seen && is_exponent_letter(c))) {
    if (k == kind::integer && d.seen) return read_error::invalid_integer;
    if (const read_error e = read_exponent(s, c, exponent); e != read_error::none) return e;
  }
  put_back(s, c);
  if (!d.seen) return no_digits(c, repeated);

  v.present = true;
  if (k == kind::real) {
    return to_double(sign, d, exponent, v.real) ? read_error::none : read_error::real_range;
  }
  if (!to_int(sign, d, v.integer)) return read_error::integer_range;
  v.real = v.integer;
  return read_error::none;
}

int read_sign_and_digits(source &s, int &sign, digits &d) {
  int c = get(s);
  sign = is_sign(c) ? std::exchange(c, get(s)) : 0;
  read_digits(s, c, d, false);
  return c;
}

// Reads "value" or "r*value"; `repeat` is r, or 0 without a count. A "*"
// within the value part is not a further count: it ends the value.
read_error read_item(source &s, kind k, value &v, int &repeat) {
  int sign = 0;
  digits d;
  int c = read_sign_and_digits(s, sign, d);
  repeat = 0;
  if (c == '*') {
    if (sign == '-' || d.kept.empty() || d.dropped) return read_error::bad_repetition;
    if (!to_int(sign, d, repeat)) return read_error::integer_range;
    d = {};
    c = read_sign_and_digits(s, sign, d);
  }
  return finish_value(s, c, k, sign, d, repeat > 0, v);
}

// The state of the list between targets.
struct list {
  source src;
  int pending = 0; // targets the current value still serves, this one included
  value current;
  bool ended = false; // a "/" ended the list
};

// Leaves in l.current the value for the next target: read from the input, or
// the pending repeat. A null value or an ended list leaves it absent.
read_error next_value(list &l, kind k) {
  if (l.ended) {
    l.current = {};
    return read_error::none;
  }
  if (l.pending == 0) {
    l.current = {};
    // Once the input has ended, every further read meets its end again.
    const int c = skip_blanks_and_line_ends(l.src);
    if (c == EOF) return read_error::end_of_file;
    if (c == ',') return read_error::none; // the comma is the null value's separator
    if (c == '/') {
      l.ended = true;
      return read_error::none;
    }
    put_back(l.src, c);
    int repeat = 0;
    if (const read_error e = read_item(l.src, k, l.current, repeat); e != read_error::none)
      return e;
    l.pending = std::max(repeat, 1);
  }
  // A comma after the value is its separator only once the value has served
  // its last target and only on the same line; otherwise it is a null value.
  const int c = skip_blanks(l.src);
  if (c != ',' || l.pending != 1) put_back(l.src, c);
  --l.pending;
  return read_error::none;
}

template <class T> read_error fill(list &l, T &target) {
  constexpr kind k = std::is_same_v<T, int> ? kind::integer : kind::real;
  const read_error e = next_value(l, k);
  if (e == read_error::none && l.current.present) {
    if constexpr (k == kind::integer)
      target = l.current.integer;
    else
      target = l.current.real;
  }
  return e;
}

// Values beyond the fourth, on this line or later ones, are never read.
void discard_line(source &s) {
  int c = get(s);
  while (c != '\n' && c != EOF)
    c = get(s);
}

} // namespace

read_error read_problem(std::FILE *in, problem &p) {
  list l;
  l.src.in = in;
  problem q = p;
  read_error e = fill(l, q.ntot);
  if (e == read_error::none) e = fill(l, q.nhire);
  if (e == read_error::none) e = fill(l, q.esize);
  if (e == read_error::none) e = fill(l, q.prop);
  if (e != read_error::none) return e;
  discard_line(l.src);
  p = q;
  return read_error::none;
}

// The wording of the classic Fortran run-time library, which scripts that
// watch this program's standard error look for.
#define TORVAN_READER_STATE                                                                        \
  "\napparent state: unit 5 (unnamed)\nlast format: list io\n"                                     \
  "lately reading sequential formatted external IO\n"

const char *read_error_message(read_error e) {
  switch (e) {
    case read_error::none:
      return "";
    case read_error::end_of_file:
      return "list in: end of file" TORVAN_READER_STATE;
    case read_error::invalid_integer:
      return "invalid integer: read unexpected character" TORVAN_READER_STATE;
    case read_error::bad_repetition:
      return "bad repetition count: incomprehensible list input" TORVAN_READER_STATE;
    case read_error::exponent_field:
      return "exponent field: incomprehensible list input" TORVAN_READER_STATE;
    case read_error::invalid_number:
      return "invalid number: incomprehensible list input" TORVAN_READER_STATE;
    case read_error::integer_range:
      return "integer out of range: incomprehensible list input" TORVAN_READER_STATE;
    case read_error::real_range:
      return "real out of range: incomprehensible list input" TORVAN_READER_STATE;
  }
  return "";
}

std::string read_error_line(read_error e) {
  const std::string m = read_error_message(e);
  return m.substr(0, m.find('\n'));
}
