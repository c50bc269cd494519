// libFuzzer target for the report's number fields and layouts.
//
// render_i, render_f and render_d: for a valid w and d the field is exactly w
// characters and holds what the C library's printf writes for the same value,
// or w asterisks when that does not fit; an invalid w or d throws
// std::invalid_argument. render_layout: any layout text and values give either
// lines ending in '\n' or std::invalid_argument.
#include "report/columns.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

void check(bool ok, const char *what, const std::string &field) {
  if (ok) return;
  std::fprintf(stderr, "columns invariant broken: %s [%s]\n", what, field.c_str());
  std::abort();
}

std::string printed(const char *format, int d, double v) {
  char buf[1024]; // 309 integer digits, 255 decimals, sign and point at most
  const int n = std::snprintf(buf, sizeof buf, format, d, v);
  if (n < 0 || n >= static_cast<int>(sizeof buf)) std::abort();
  return {buf, static_cast<std::size_t>(n)};
}

std::string right_justified(const std::string &text, int w) {
  if (static_cast<int>(text.size()) > w) return std::string(w, '*');
  return std::string(w - text.size(), ' ') + text;
}

// Fw.d from printf's "%#.df": no minus sign on a value that rounds to zero,
// the leading 0 dropped when it alone does not fit.
std::string expected_f(double v, int w, int d) {
  std::string text = printed("%#.*f", d, v);
  if (std::isfinite(v)) {
    if (text[0] == '-' && text.find_first_of("123456789") == std::string::npos) text.erase(0, 1);
    const std::size_t zero = text[0] == '-' ? 1 : 0;
    if (static_cast<int>(text.size()) == w + 1 && text.compare(zero, 2, "0.") == 0)
      text.erase(zero, 1);
  }
  return right_justified(text, w);
}

// Dw.d from printf's "%.(d-1)E": the same d digits, the exponent one higher
// (0 for zero), "0." before them when there is room.
std::string expected_d(double v, int w, int d) {
  if (!std::isfinite(v)) return right_justified(printed("%.*E", 0, v), w);
  const std::string e = printed("%.*E", d - 1, std::fabs(v));
  const auto letter = e.find('E');
  std::string digits = e.substr(0, letter);
  if (d > 1) digits.erase(1, 1); // the point
  int k = std::atoi(e.c_str() + letter + 1) + 1;
  if (v == 0) k = 0;
  const int magnitude = std::abs(k);
  std::string exponent = magnitude > 99 ? "" : "E";
  exponent += k < 0 ? '-' : '+';
  exponent += (magnitude < 10 ? "0" : "") + std::to_string(magnitude);
  const std::string sign = v < 0 ? "-" : "";
  const std::string body = "." + digits + exponent;
  if (static_cast<int>(sign.size() + 1 + body.size()) <= w)
    return right_justified(sign + "0" + body, w);
  return right_justified(sign + body, w);
}

// Mostly plausible widths and digit counts, now and then any int.
int field_number(FuzzedDataProvider &in) {
  if (in.ConsumeIntegralInRange(0, 15) == 0) return in.ConsumeIntegral<int>();
  return in.ConsumeIntegralInRange(-2, 260);
}

double any_double(FuzzedDataProvider &in) {
  return std::bit_cast<double>(in.ConsumeIntegral<std::uint64_t>());
}

void fuzz_field(FuzzedDataProvider &in, int which) {
  const int w = field_number(in);
  const int d = which == 0 ? 0 : field_number(in);
  const bool valid = w >= 1 && w <= 255 && d >= (which == 2 ? 1 : 0) && d <= 255;
  const int iv = in.ConsumeIntegral<int>();
  const double v = any_double(in);
  std::string got, want;
  try {
    if (which == 0) {
      got = render_i(iv, w);
      want = right_justified(std::to_string(iv), w);
    } else if (which == 1) {
      got = render_f(v, w, d);
      want = expected_f(v, w, d);
    } else {
      got = render_d(v, w, d);
      want = expected_d(v, w, d);
    }
  } catch (const std::invalid_argument &) {
    check(!valid, "a valid field threw", "");
    return;
  }
  check(valid, "an invalid field did not throw", got);
  check(static_cast<int>(got.size()) == w, "the field is not w characters", got);
  check(got == want, ("printf writes [" + want + "]").c_str(), got);
}

field_value any_value(FuzzedDataProvider &in) {
  if (in.ConsumeBool()) return in.ConsumeIntegral<int>();
  return any_double(in);
}

void fuzz_layout(FuzzedDataProvider &in) {
  const int n = in.ConsumeIntegralInRange(0, 4);
  std::vector<field_value> v;
  for (int i = 0; i < n; ++i)
    v.push_back(any_value(in));
  const std::string layout = in.ConsumeRemainingBytesAsString();
  std::string out;
  try {
    switch (n) {
      case 0:
        out = render_layout(layout, {});
        break;
      case 1:
        out = render_layout(layout, {v[0]});
        break;
      case 2:
        out = render_layout(layout, {v[0], v[1]});
        break;
      case 3:
        out = render_layout(layout, {v[0], v[1], v[2]});
        break;
      default:
        out = render_layout(layout, {v[0], v[1], v[2], v[3]});
        break;
    }
  } catch (const std::invalid_argument &) {
    return;
  }
  check(!out.empty() && out.back() == '\n', "the layout's output does not end a line", out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const int which = in.ConsumeIntegralInRange(0, 3);
  if (which == 3)
    fuzz_layout(in);
  else
    fuzz_field(in, which);
  return 0;
}
