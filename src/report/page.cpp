// The pieces of the one-page reports.
#include "report/page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string dotted_line(const std::string &label, const std::string &value) {
  std::string out = "  " + label + ' ';
  out.resize(std::max<std::size_t>(out.size(), 56), '.');
  if (value.size() < 24) out.append(24 - value.size(), ' ');
  return out + value + '\n';
}

std::string printed(const char *format, double v) {
  const int size = std::snprintf(nullptr, 0, format, v);
  std::string out(static_cast<std::size_t>(std::max(size, 0)), '\0');
  std::snprintf(out.data(), out.size() + 1, format, v);
  return out;
}

std::string shown(double v, int decimals) {
  const double a = std::fabs(v);
  const bool fits = a == 0.0 || (a >= 0.5 * std::pow(10.0, -decimals) && a < 1e9);
  char buf[48];
  std::snprintf(buf, sizeof buf, fits ? "%.*f" : "%.*e", decimals, v);
  return buf;
}

std::string fixed(double v, int decimals) {
  if (std::isnan(v)) return "undefined";
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::string wrapped(const std::string &text, std::size_t indent, std::size_t width) {
  const std::string lead(indent, ' ');
  std::string out, row = lead;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t next = text.find(' ', at);
    if (next == std::string::npos) next = text.size();
    const std::string word = text.substr(at, next - at);
    if (row.size() > indent && row.size() + 1 + word.size() > width) {
      out += row + '\n';
      row = lead;
    }
    row += (row.size() > indent ? " " : "") + word;
    at = next + 1;
  }
  return out + row + '\n';
}
