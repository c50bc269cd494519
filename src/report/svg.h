#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Pieces of the SVG charts: numbers written locale-independently (std::to_chars
// never consults the locale), text escaped for XML, axis ticks, and a
// document that lines and text are appended to.

std::string fixed_digits(double v, int decimals); // fixed notation, at most 20 decimals
std::string sci(double v, int decimals);          // scientific notation
std::string shortest(double v);                   // the shortest form that reads back as v
std::string px(double v);                         // a coordinate: one decimal
std::string xml_escape(const std::string &s);

// Appends in place; also keeps GCC 12 from a false -Wrestrict on "literal" + std::string&&.
void append(std::string &s, std::initializer_list<std::string_view> parts);

// 1, 2 or 5 times a power of ten, the smallest such at or above raw (> 0).
double nice_step(double raw);
// Tick label for multiples of step: just enough decimals, exponent form when tiny.
std::string tick_label(double v, double step);

struct tick {
  double x;
  std::string label; // empty: a minor tick
};
// The ticks of a log10 axis over [lo, hi], both powers of ten, placed by
// map: at most ten decade labels, minor ticks while there is room for them,
// and labels at 2 and 5 over at most four decades.
std::vector<tick> decade_ticks(double lo, double hi, const std::function<double(double)> &map);

// A document of width w and height h on a white page, open for its content.
struct svg {
  svg(double w, double h);
  std::string s;
  void line(double x1, double y1, double x2, double y2, const std::string &style);
  void text(double x, double y, const std::string &anchor, const std::string &body,
            const std::string &extra = "");
};
