// The pieces of the one-page reports.
#include "report/page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string dotted_line(const std::string &label, const std::string &value) {
  std::string out = "  " + label + ' ';
  out.resize(std::max<std::size_t>(out.size(), 56), '.');
  char buf[32];
  std::snprintf(buf, sizeof buf, "%24s", value.c_str());
  return out + buf + '\n';
}

std::string fixed(double v, int decimals) {
  if (std::isnan(v)) return "undefined";
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}
