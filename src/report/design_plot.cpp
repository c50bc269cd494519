// The validity-risk chart of a design.
#include "report/design_plot.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "report/rule_names.h"
#include "report/svg.h"

namespace {

// Page layout in SVG user units. The plot area is [L, R] x [T, B].
constexpr double W = 900, H = 600, L = 90, R = 860, T = 80, B = 500;
constexpr double pad = 12;
constexpr const char *front_colour = "#1f5fa8", *compared_colour = "#d9480f";

struct axes {
  double vlo = 0, vhi = 1;

  double x(double p) const { return L + pad + std::clamp(p, 0.0, 1.0) * (R - L - 2 * pad); }
  double y(double v) const { return B - pad - (v - vlo) / (vhi - vlo) * (B - T - 2 * pad); }
};

double risk(const design_options &opt, const design_point &pt) {
  return rule_probability(pt.f.adverse_impact, opt.rule);
}

axes choose_axes(const design_result &r) {
  double lo = r.front.front().validity, hi = lo;
  for (const auto *pts : {&r.front, &r.compared})
    for (const design_point &pt : *pts) {
      lo = std::min(lo, pt.validity);
      hi = std::max(hi, pt.validity);
    }
  const double step = nice_step(std::max(hi - lo, 0.01) / 6);
  return {std::floor(lo / step) * step, std::max(std::ceil(hi / step) * step, lo + step)};
}

std::string subtitle(const design_options &opt, const design_result &r) {
  std::string s = std::to_string(r.selection.ntot) + " applicants, " +
                  std::to_string(r.selection.nhire) + " hired, ";
  s += r.solve.minority >= 0 ? std::to_string(r.solve.minority) + " of them minority"
                             : "minority proportion " + shortest(r.minority_share);
  return s + "; " + (opt.matrix == design_matrix::within ? "within-group" : "overall") +
         " correlations, " +
         (opt.weights == design_weights::nonnegative ? "non-negative" : "free") + " weights";
}

} // namespace

std::string design_svg(const design_options &opt, const design_result &r) {
  svg g(W, H);
  g.text(W / 2, 30, "middle", "Validity against the exact risk of being flagged",
         " font-size=\"17\" font-weight=\"bold\"");
  g.text(W / 2, 54, "middle", subtitle(opt, r), " font-size=\"13\"");
  if (r.front.empty()) {
    g.s += "</svg>\n";
    return g.s;
  }
  const axes a = choose_axes(r);
  const std::string grid = "stroke=\"#e3e3e3\" stroke-width=\"1\"";
  for (int k = 0; k <= 10; ++k) {
    const double x = a.x(k * 0.1);
    if (k > 0) g.line(x, T, x, B, grid);
    g.line(x, B, x, B + 6, "stroke=\"black\"");
    g.text(x, B + 19, "middle", fixed_digits(k * 0.1, 1));
  }
  const double step = nice_step((a.vhi - a.vlo) / 6);
  for (double v = a.vlo; v <= a.vhi + step / 2; v += step) {
    const double y = a.y(v);
    g.line(L, y, R, y, grid);
    g.line(L - 5, y, L, y, "stroke=\"black\"");
    g.text(L - 8, y + 4, "end", tick_label(v, step));
  }
  g.line(L, T, L, B, "stroke=\"black\"");
  g.line(L, B, R, B, "stroke=\"black\"");
  g.s += "<text transform=\"translate(26," + px((T + B) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">Validity of the composite</text>\n";
  g.text((L + R) / 2, B + 42, "middle",
         "Exact probability that the " + rule_title(opt.rule) + " flags the minority",
         " font-size=\"13\"");

  if (opt.max_risk) {
    const double x = a.x(*opt.max_risk);
    g.line(x, T, x, B, "stroke=\"#555555\" stroke-width=\"1.2\" stroke-dasharray=\"6,4\"");
    g.text(x + 4, T + 14, "start", "max risk " + shortest(*opt.max_risk), " fill=\"#333333\"");
  }

  std::string d;
  for (const design_point &pt : r.front)
    append(d, {d.empty() ? "M" : "L", px(a.x(risk(opt, pt))), " ", px(a.y(pt.validity))});
  if (r.front.size() == 1) d += "h0.1";
  g.s += "<path id=\"front\" d=\"" + d + "\" stroke=\"" + front_colour +
         "\" stroke-width=\"2\" fill=\"none\" stroke-linejoin=\"round\" "
         "stroke-linecap=\"round\"/>\n";
  // Every point, labelled while the labels have room: at most about a dozen.
  const std::size_t every = std::max<std::size_t>(1, (r.front.size() + 11) / 12);
  for (std::size_t j = 0; j < r.front.size(); ++j) {
    const design_point &pt = r.front[j];
    const double x = a.x(risk(opt, pt)), y = a.y(pt.validity);
    g.s += "<circle cx=\"" + px(x) + "\" cy=\"" + px(y) + "\" r=\"3\" fill=\"" + front_colour +
           "\"/>\n";
    if (j % every == 0 || j + 1 == r.front.size())
      g.text(x + 7, y + 4, "start", fixed_digits(pt.population_impact_ratio, 2),
             " font-size=\"11\" fill=\"#1f3f78\"");
  }
  for (const design_point &pt : r.compared) {
    const double x = a.x(risk(opt, pt)), y = a.y(pt.validity);
    g.s += "<rect x=\"" + px(x - 4) + "\" y=\"" + px(y - 4) +
           "\" width=\"8\" height=\"8\" fill=\"" + compared_colour + "\"/>\n";
    g.text(x - 8, y - 6, "end", pt.name, " font-size=\"12\" fill=\"#a33a0b\"");
  }
  if (r.chosen) {
    const double x = a.x(risk(opt, *r.chosen)), y = a.y(r.chosen->validity);
    g.s += "<circle cx=\"" + px(x) + "\" cy=\"" + px(y) +
           "\" r=\"8\" fill=\"none\" stroke=\"#2b8a3e\" stroke-width=\"2\"/>\n";
  }

  const double ly = B + 70;
  g.line(L, ly - 4, L + 22, ly - 4,
         std::string("stroke=\"") + front_colour + "\" stroke-width=\"3\"");
  g.text(L + 30, ly, "start", "the front, each point labelled with its population impact ratio");
  g.s += "<rect x=\"" + px(L + 7) + "\" y=\"" + px(ly + 12) +
         "\" width=\"8\" height=\"8\" fill=\"" + compared_colour + "\"/>\n";
  g.text(L + 30, ly + 20, "start", "compared weights");
  if (r.chosen) {
    g.s += "<circle cx=\"" + px((L + R) / 2 + 11) + "\" cy=\"" + px(ly + 16) +
           "\" r=\"7\" fill=\"none\" stroke=\"#2b8a3e\" stroke-width=\"2\"/>\n";
    g.text((L + R) / 2 + 30, ly + 20, "start", "the chosen composite");
  }
  g.s += "</svg>\n";
  return g.s;
}

std::string design_svg_text(const design_options &opt, const design_result &r) {
  return design_svg(opt, r);
}
