// Pieces of the SVG charts; see svg.h.
#include "report/svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>

std::string fixed_digits(double v, int decimals) {
  char buf[512]; // enough for any finite double in fixed notation with <= 20 decimals
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, r.ptr);
}
std::string sci(double v, int decimals) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, decimals);
  return std::string(buf, r.ptr);
}
std::string shortest(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}
std::string px(double v) {
  return fixed_digits(v, 1);
}

void append(std::string &s, std::initializer_list<std::string_view> parts) {
  for (std::string_view p : parts)
    s += p;
}

std::string xml_escape(const std::string &s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

double nice_step(double raw) {
  double mag = std::pow(10.0, std::floor(std::log10(raw)));
  double f = raw / mag;
  return (f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10) * mag;
}

std::string tick_label(double v, double step) {
  if (step < 1e-4) return v == 0 ? "0" : sci(v, 0);
  return fixed_digits(v, std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9))));
}

std::vector<tick> decade_ticks(double lo, double hi, const std::function<double(double)> &map) {
  std::vector<tick> t;
  int e0 = static_cast<int>(std::lround(std::log10(lo)));
  int e1 = static_cast<int>(std::lround(std::log10(hi)));
  // At most ten decade labels; minor ticks, and labels at 2 and 5, while they have room.
  const int every = (e1 - e0 + 9) / 10;
  const bool minor = e1 - e0 <= 6, label_2_5 = e1 - e0 <= 4;
  for (int e = e0; e <= e1; ++e) {
    double d = std::pow(10.0, e);
    std::string text =
        e >= -4 && e <= 5 ? fixed_digits(d, std::max(0, -e)) : "1e" + std::to_string(e);
    if ((e - e0) % every == 0) t.push_back({map(d), text});
    for (int m = 2; m <= 9 && e < e1 && minor; ++m) {
      bool named = label_2_5 && (m == 2 || m == 5);
      t.push_back({map(m * d), named ? tick_label(m * d, d) : ""});
    }
  }
  return t;
}

svg::svg(double w, double h)
    : s("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
        px(w) + "\" height=\"" + px(h) + "\" viewBox=\"0 0 " + px(w) + " " + px(h) +
        "\" font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\" font-size=\"12\">\n"
        "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n") {}

void svg::line(double x1, double y1, double x2, double y2, const std::string &style) {
  s += "<line x1=\"" + px(x1) + "\" y1=\"" + px(y1) + "\" x2=\"" + px(x2) + "\" y2=\"" + px(y2) +
       "\" " + style + "/>\n";
}

void svg::text(double x, double y, const std::string &anchor, const std::string &body,
               const std::string &extra) {
  s += "<text x=\"" + px(x) + "\" y=\"" + px(y) + "\" text-anchor=\"" + anchor + "\"" + extra +
       ">" + xml_escape(body) + "</text>\n";
}
