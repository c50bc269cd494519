// The report's number fields and the layout notation that places them.
//
// Digits come from std::to_chars with an explicit precision, which is defined
// to give what printf("%.*f") and printf("%.*e") give in the C locale: the
// exact binary value rounded once, to nearest, ties to even. Unlike printf it
// cannot be changed by the locale. Never round a value twice (say, to 15
// digits and then that text to d places): the double just below 0.375 would
// then print as 0.38 in F12.2 instead of 0.37.
#include "report/columns.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <stdexcept>
#include <string>

namespace {

// Widths beyond this are a programming error; the bound keeps every digit
// string in a small stack buffer.
constexpr int max_width = 255;

void check_field(int w, int d, int min_d) {
  if (w < 1 || w > max_width || d < min_d || d > max_width)
    throw std::invalid_argument("field width or digit count out of range: w=" + std::to_string(w) +
                                " d=" + std::to_string(d));
}

void append_asterisks(std::string &out, int w) {
  out.append(w, '*');
}

void append_right_justified(std::string &out, std::string_view text, int w) {
  if (std::ssize(text) > w) return append_asterisks(out, w);
  out.append(w - text.size(), ' ');
  out.append(text);
}

// "inf", "-inf", "nan", "-nan" as the C library's %f writes them (upper case
// as %E writes them in exponent-form fields); the sign is the sign bit, so
// the NaN that 0/0 gives on x86-64 shows as "-nan".
void append_non_finite(std::string &out, double v, int w, bool upper) {
  std::string_view text = std::isnan(v) ? (upper ? "-NAN" : "-nan") : (upper ? "-INF" : "-inf");
  if (!std::signbit(v)) text.remove_prefix(1);
  append_right_justified(out, text, w);
}

void append_i(std::string &out, int v, int w) {
  char buf[16];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  append_right_justified(out, std::string_view(buf, res.ptr), w);
}

void append_f(std::string &out, double v, int w, int d) {
  if (!std::isfinite(v)) return append_non_finite(out, v, w, false);

  // The text of |v| may be one character wider than the field (the leading 0
  // can be dropped); anything longer does not fit, and to_chars says so
  // without our formatting hundreds of digits of a huge value.
  char buf[max_width + 2];
  const auto res = std::to_chars(buf, buf + w + 1, std::fabs(v), std::chars_format::fixed, d);
  if (res.ec != std::errc()) return append_asterisks(out, w);
  char *end = res.ptr;
  if (d == 0) *end++ = '.'; // to_chars writes no point for zero decimals; the field has one
  std::string_view text(buf, end);

  // A value that rounds to all zeros is not negative: no "-0.00000".
  const bool negative = v < 0 && text.find_first_of("123456789") != std::string_view::npos;
  const int n = static_cast<int>(text.size()) + (negative ? 1 : 0);
  if (n == w + 1 && text.front() == '0') {
    text.remove_prefix(1);
  } else if (n > w) {
    return append_asterisks(out, w);
  } else {
    out.append(w - n, ' ');
  }
  if (negative) out += '-';
  out.append(text);
}

// Significant digits and decimal exponent k of |v| = 0.d1d2...dd x 10^k,
// rounded once to d digits; a carry (0.999999 to 5 digits) raises k.
int split_exponent_form(double v, int d, char *digits) {
  if (v == 0) {
    std::fill(digits, digits + d, '0');
    return 0;
  }
  char buf[max_width + 16];
  const auto res =
      std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, d - 1);
  // to_chars wrote "d.ddd...e+xx", or "de+xx" when d == 1.
  const std::string_view text(buf, res.ptr);
  const auto e = text.find('e');
  std::remove_copy(text.begin(), text.begin() + e, digits, '.');
  int exponent = 0;
  std::from_chars(buf + e + 2, res.ptr, exponent);
  return (text[e + 1] == '-' ? -exponent : exponent) + 1;
}

void append_d(std::string &out, double v, int w, int d) {
  if (!std::isfinite(v)) return append_non_finite(out, v, w, true);

  const bool negative = v < 0; // -0.0 is not below zero
  // Room beyond the sign, the point, the d digits and the four exponent
  // characters; it takes the 0 before the point first, then leading blanks.
  const int spare = w - (d + 5) - (negative ? 1 : 0);
  if (spare < 0) return append_asterisks(out, w);

  char digits[max_width];
  const int k = split_exponent_form(v, d, digits);
  if (spare > 0) out.append(spare - 1, ' ');
  if (negative) out += '-';
  if (spare > 0) out += '0';
  out += '.';
  out.append(digits, d);
  // Beyond two exponent digits the letter gives way to the third digit, so
  // the field keeps its width.
  const int magnitude = std::abs(k);
  if (magnitude <= 99) out += 'E';
  out += k < 0 ? '-' : '+';
  if (magnitude > 99) out += static_cast<char>('0' + magnitude / 100);
  out += static_cast<char>('0' + magnitude / 10 % 10);
  out += static_cast<char>('0' + magnitude % 10);
}

// ---- Layout interpreter ----

[[noreturn]] void malformed(std::string_view layout, std::string_view why) {
  throw std::invalid_argument("layout " + std::string(layout) + ": " + std::string(why));
}

// Reads the layout's characters from left to right and places their output.
struct layout_writer {
  std::string_view layout;
  std::size_t pos = 0;
  const field_value *next_value;
  const field_value *end_value;
  std::string out;

  bool at(char c) const { return pos < layout.size() && layout[pos] == c; }
  bool at_digit() const { return pos < layout.size() && layout[pos] >= '0' && layout[pos] <= '9'; }

  void expect(char c) {
    if (!at(c)) malformed(layout, std::string("expected '") + c + "'");
    ++pos;
  }

  // A repeat count, blank count, width or digit count; none of the report's
  // exceeds max_width, so a larger one is a mistake, not a wish for 10^9 blanks.
  int number() {
    if (!at_digit()) malformed(layout, "expected a number");
    int n = 0;
    while (at_digit()) {
      n = n * 10 + (layout[pos++] - '0');
      if (n > max_width) malformed(layout, "number too large");
    }
    return n;
  }

  template <class T> T take(const char *kind) {
    if (next_value == end_value) malformed(layout, "more fields than values");
    const T *v = std::get_if<T>(next_value++);
    if (!v) malformed(layout, std::string("value of the wrong type for an ") + kind + " field");
    return *v;
  }

  void literal() {
    const auto close = layout.find('\'', pos + 1);
    if (close == std::string_view::npos) malformed(layout, "unterminated literal");
    out.append(layout.substr(pos + 1, close - pos - 1));
    pos = close + 1;
  }

  // nX, Iw, Fw.d or Dw.d, the last three with an optional repeat count.
  void counted_item() {
    const int count = at_digit() ? number() : 1;
    if (pos >= layout.size()) malformed(layout, "unexpected end");
    const char kind = layout[pos++];
    if (kind == 'X') {
      if (count < 1) malformed(layout, "nX needs n >= 1");
      out.append(count, ' ');
      return;
    }
    if (kind != 'I' && kind != 'F' && kind != 'D') malformed(layout, "unknown item");
    const int w = number();
    int d = 0;
    if (kind != 'I') {
      expect('.');
      d = number();
    }
    if (count < 1 || w < 1 || (kind == 'D' && d < 1)) malformed(layout, "empty field");
    for (int r = 0; r < count; ++r) {
      if (kind == 'I') append_i(out, take<int>("I"), w);
      if (kind == 'F') append_f(out, take<double>("F"), w, d);
      if (kind == 'D') append_d(out, take<double>("D"), w, d);
    }
  }

  void item() {
    if (at('\'')) return literal();
    if (at('/')) {
      out += '\n';
      ++pos;
      return;
    }
    counted_item();
  }

  void run() {
    expect('(');
    if (!at(')')) {
      item();
      while (at(',')) {
        ++pos;
        item();
      }
    }
    expect(')');
    if (pos != layout.size()) malformed(layout, "text after the closing parenthesis");
    if (next_value != end_value) malformed(layout, "more values than fields");
    out += '\n';
  }
};

} // namespace

std::string render_i(int v, int w) {
  check_field(w, 0, 0);
  std::string out;
  append_i(out, v, w);
  return out;
}

std::string render_f(double v, int w, int d) {
  check_field(w, d, 0);
  std::string out;
  append_f(out, v, w, d);
  return out;
}

std::string render_d(double v, int w, int d) {
  check_field(w, d, 1);
  std::string out;
  append_d(out, v, w, d);
  return out;
}

std::string render_layout(std::string_view layout, std::initializer_list<field_value> values) {
  layout_writer writer{layout, 0, values.begin(), values.end(), {}};
  writer.run();
  return std::move(writer.out);
}
