// The power curves of a plan as an SVG chart.
#include "report/plan_plot.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "report/rule_names.h"
#include "report/svg.h"

namespace {

// Page layout in SVG user units (pixels at 1:1). The plot area is [L, R] x [T, B].
constexpr double W = 900, H = 600, L = 80, R = 820, T = 96, B = 396;
constexpr double pad = 10; // data inset from the plot frame
constexpr const char *colours[] = {"#1f5fa8", "#d9480f", "#2b8a3e",
                                   "#862e9c", "#c92a2a", "#495057"};

// The ntot axis over [lo, hi], linear or log10.
struct ntot_axis {
  bool log = false;
  double lo = 0, hi = 1;

  double map(double v) const {
    const double x0 = L + pad, x1 = R - pad;
    if (!log) return x0 + (v - lo) / (hi - lo) * (x1 - x0);
    return x0 + (std::log10(v) - std::log10(lo)) / (std::log10(hi) - std::log10(lo)) * (x1 - x0);
  }
};

ntot_axis choose_axis(const ntot_range &n) {
  ntot_axis a;
  if (static_cast<double>(n.to) / n.from > 100) {
    a.log = true;
    a.lo = std::pow(10.0, std::floor(std::log10(n.from)));
    a.hi = std::pow(10.0, std::ceil(std::log10(n.to)));
    return a;
  }
  a.lo = n.from;
  a.hi = n.to > n.from ? n.to : n.from + 1.0;
  return a;
}

std::vector<tick> axis_ticks(const ntot_axis &a) {
  if (a.log) return decade_ticks(a.lo, a.hi, [&a](double v) { return a.map(v); });
  std::vector<tick> t;
  const double step = std::max(1.0, nice_step((a.hi - a.lo) / 8));
  for (double v = std::ceil(a.lo / step) * step; v <= a.hi * (1 + 1e-12); v += step)
    t.push_back({a.map(v), tick_label(v, step)});
  return t;
}

double y_of(double p) {
  return B - std::clamp(p, 0.0, 1.0) * (B - T);
}

// The rule's curve: one subpath per run of computed rows; a run of one row
// is a dot (a short stroke with round caps).
std::string curve(const ntot_axis &a, const plan_result &r, const std::string &rule) {
  std::string d;
  bool open = false;
  for (std::size_t i = 0; i < r.rows.size(); ++i) {
    const plan_row &row = r.rows[i];
    if (!row_computed(row)) {
      open = false;
      continue;
    }
    const double x = a.map(row.ntot), y = y_of(rule_probability(row.f.adverse_impact, rule));
    append(d, {open ? "L" : "M", px(x), " ", px(y)});
    const bool alone = !open && (i + 1 == r.rows.size() || !row_computed(r.rows[i + 1]));
    if (alone) d += "h0.1";
    open = true;
  }
  return d;
}

std::string subtitle(const plan_options &opt) {
  std::string s = "effect size " + shortest(*opt.esize) + ", ";
  s += opt.minority_share ? "minority share " + shortest(*opt.minority_share)
                          : "minority proportion " + shortest(*opt.prop);
  s += opt.nhire ? ", " + std::to_string(*opt.nhire) + " hires"
                 : ", selection ratio " + shortest(*opt.selection_ratio);
  return s + ", alpha " + shortest(opt.alpha) + ", method " + method_name(opt.method);
}

} // namespace

std::string plan_svg(const plan_options &opt, const plan_result &r) {
  const ntot_axis ax = choose_axis(*opt.ntot);
  const bool fp = *opt.esize == 0.0;
  svg g(W, H);
  g.text(W / 2, 30, "middle",
         fp ? "False-positive rate of each adverse impact rule, by pool size"
            : "Probability that each adverse impact rule flags the minority, by pool size",
         " font-size=\"17\" font-weight=\"bold\"");
  g.text(W / 2, 54, "middle", subtitle(opt), " font-size=\"13\"");

  const std::string grid = "stroke=\"#e3e3e3\" stroke-width=\"1\"";
  for (int k = 0; k <= 5; ++k) {
    const double y = y_of(k * 0.2);
    if (k > 0) g.line(L, y, R, y, grid);
    g.line(L - 5, y, L, y, "stroke=\"black\"");
    g.text(L - 8, y + 4, "end", fixed_digits(k * 0.2, 1));
  }
  g.line(L, T, L, B, "stroke=\"black\"");
  g.line(L, B, R, B, "stroke=\"black\"");
  g.s += "<text transform=\"translate(24," + px((T + B) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">" +
         (fp ? "False-positive rate" : "Probability of flagging") + "</text>\n";
  for (const tick &t : axis_ticks(ax)) {
    g.line(t.x, B, t.x, B + (t.label.empty() ? 3 : 6), "stroke=\"black\"");
    if (!t.label.empty()) g.text(t.x, B + 19, "middle", t.label);
  }
  g.text((L + R) / 2, B + 40, "middle",
         std::string("ntot, applicants in the pool") + (ax.log ? " (log scale)" : ""),
         " font-size=\"13\"");

  const std::string dashed = "stroke=\"#555555\" stroke-width=\"1.2\" stroke-dasharray=\"6,4\"";
  const double yt = y_of(opt.target);
  g.line(L, yt, R, yt, dashed);
  g.text(R - 4, yt - 5, "end", "target " + shortest(opt.target), " fill=\"#333333\"");

  const std::vector<std::string> rules = plan_rules(opt);
  double ly = B + 66;
  for (std::size_t k = 0; k < rules.size(); ++k) {
    const std::string colour = colours[k % std::size(colours)];
    g.s += "<path id=\"rule-" + rules[k] + "\" d=\"" + curve(ax, r, rules[k]) + "\" stroke=\"" +
           colour +
           "\" stroke-width=\"1.6\" fill=\"none\" stroke-linejoin=\"round\" "
           "stroke-linecap=\"round\"/>\n";
    const double x = k % 2 == 0 ? L : (L + R) / 2;
    g.line(x, ly - 4, x + 22, ly - 4, "stroke=\"" + colour + "\" stroke-width=\"3\"");
    g.text(x + 30, ly, "start", rule_title(rules[k]));
    if (k % 2 == 1) ly += 20;
  }
  if (rules.size() % 2 == 1) ly += 20;
  bool gaps = false;
  for (const plan_row &row : r.rows)
    gaps = gaps || !row_computed(row);
  if (gaps)
    g.text(L, ly, "start", "Sizes that could not be computed leave gaps in the lines.",
           " fill=\"#555555\"");
  g.s += "</svg>\n";
  return g.s;
}

std::string plan_svg_text(const plan_options &opt, const plan_result &r) {
  return plan_svg(opt, r);
}
