// The power curves of a plan as an SVG chart.
#include "report/plan_plot.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "report/rule_names.h"
#include "report/svg.h"

namespace {

// Page layout in SVG user units (pixels at 1:1). The plot area is [L, R] x [T, B];
// the page ends a margin below the baseline of the legend's last line.
constexpr double W = 900, L = 80, R = 820, T = 96, B = 396, margin = 16, line_height = 20;
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

// The axis spans the sizes computed, no more: a range 10 to 2000 ends at
// 2000, not at the next decade. One size sits in the middle of [n - 1, n + 1].
ntot_axis choose_axis(const ntot_range &n) {
  ntot_axis a;
  const int last = n.from + (n.to - n.from) / n.step * n.step;
  a.log = static_cast<double>(last) / n.from > 100;
  a.lo = last > n.from ? n.from : n.from - 1.0;
  a.hi = last > n.from ? last : n.from + 1.0;
  return a;
}

// Within [lo, hi]: 1, 2, ..., 9 times each power of ten as ticks, labelled at
// 1 (and at 2 and 5 over at most four decades).
std::vector<tick> log_ticks(const ntot_axis &a) {
  std::vector<tick> t;
  const int e0 = static_cast<int>(std::floor(std::log10(a.lo)));
  const int e1 = static_cast<int>(std::ceil(std::log10(a.hi)));
  const bool label_2_5 = std::log10(a.hi / a.lo) <= 4;
  for (int e = e0; e <= e1; ++e)
    for (int m = 1; m <= 9; ++m) {
      const double v = m * std::pow(10.0, e);
      if (v < a.lo * (1 - 1e-12) || v > a.hi * (1 + 1e-12)) continue;
      const bool named = m == 1 || (label_2_5 && (m == 2 || m == 5));
      t.push_back({a.map(v), named ? tick_label(v, std::pow(10.0, e)) : ""});
    }
  return t;
}

std::vector<tick> axis_ticks(const ntot_axis &a) {
  if (a.log) return log_ticks(a);
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
// is a dot (a short stroke with round caps), and its place goes to `alone`.
std::string curve(const ntot_axis &a, const plan_result &r, const std::string &rule,
                  std::vector<std::pair<double, double>> &alone_points) {
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
    if (alone) {
      d += "h0.1";
      alone_points.emplace_back(x, y);
    }
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

// The first of `rules` before rule k whose figures are those of rule k at
// every computed size (the Z test and "four-fifths and Z" whenever the Z test
// flags only where the four-fifths rule does), or none.
std::optional<std::size_t> same_as(const plan_result &r, const std::vector<std::string> &rules,
                                   std::size_t k) {
  for (std::size_t j = 0; j < k; ++j) {
    const bool same = std::all_of(r.rows.begin(), r.rows.end(), [&](const plan_row &row) {
      return !row_computed(row) || rule_probability(row.f.adverse_impact, rules[j]) ==
                                       rule_probability(row.f.adverse_impact, rules[k]);
    });
    if (same) return j;
  }
  return std::nullopt;
}

} // namespace

std::string plan_svg(const plan_options &opt, const plan_result &r) {
  const ntot_axis ax = choose_axis(*opt.ntot);
  const bool fp = *opt.esize == 0.0;
  const std::vector<std::string> rules = plan_rules(opt);
  bool gaps = false;
  for (const plan_row &row : r.rows)
    gaps = gaps || !row_computed(row);
  const double legend_top = B + 66;
  const double height =
      legend_top + line_height * (static_cast<double>(rules.size()) - 1 + (gaps ? 1 : 0)) + margin;
  svg g(W, height);
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

  // A curve equal to an earlier one at every size is drawn dashed over it,
  // and the legend says whose it is; a size alone between gaps is a dot.
  double ly = legend_top;
  for (std::size_t k = 0; k < rules.size(); ++k) {
    const std::string colour = colours[k % std::size(colours)];
    const std::optional<std::size_t> twin = same_as(r, rules, k);
    const std::string dash = twin ? " stroke-dasharray=\"8,6\"" : "";
    std::vector<std::pair<double, double>> alone;
    g.s += "<path id=\"rule-" + rules[k] + "\" d=\"" + curve(ax, r, rules[k], alone) +
           "\" stroke=\"" + colour +
           "\" stroke-width=\"1.6\" fill=\"none\" stroke-linejoin=\"round\" "
           "stroke-linecap=\"round\"";
    g.s += dash + "/>\n";
    for (const auto &[x, y] : alone)
      g.s += "<circle cx=\"" + px(x) + "\" cy=\"" + px(y) + "\" r=\"" + px(twin ? 5.5 : 3.5) +
             "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"1.6\"/>\n";
    std::string legend_stroke = "stroke=\"" + colour + "\" stroke-width=\"3\"";
    legend_stroke += dash;
    g.line(L, ly - 4, L + 22, ly - 4, legend_stroke);
    g.text(L + 30, ly, "start",
           rule_title(rules[k]) + (twin ? ": the same curve as " + rule_title(rules[*twin]) : ""));
    ly += line_height;
  }
  if (gaps)
    g.text(L, ly, "start", "Sizes that could not be computed leave gaps in the lines.",
           " fill=\"#555555\"");
  g.s += "</svg>\n";
  return g.s;
}

std::string plan_svg_text(const plan_options &opt, const plan_result &r) {
  return plan_svg(opt, r);
}
