#pragma once

#include <charconv>
#include <string>

// The shortest text that reads back as v, bit for bit (std::to_chars with no
// precision): 10.8 and -0.1, where %.17g writes 10.799999999999999 and
// -0.10000000000000001 for the same doubles.
inline std::string shortest(double v) {
  char buf[32]; // "-1.2345678901234567e-308" is the longest
  const auto written = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, written.ptr);
}
