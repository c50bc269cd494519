#include "report/plot.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "report/svg.h"

namespace {

// Page layout in SVG user units (pixels at 1:1). The plot area is [L, R] x [T, B].
constexpr double W = 900, H = 560, L = 80, R = 820, T = 104, B = 404;
constexpr double pad = 16;    // data inset from the plot frame, so edge spikes stay visible
constexpr double zero_w = 36; // log axis: room for the "0" position and the axis break
constexpr const char *spike_colour = "#1f5fa8", *cdf_colour = "#d9480f";

// A probability in text: six decimals, or three significant digits when that
// would print as zero.
std::string prob_text(double p) {
  return p == 0 || p >= 1e-4 ? fixed_digits(p, 6) : sci(p, 2);
}

// The AI axis: linear over [0, hi], or log10 over [lo, hi] with an optional
// separate position for 0 at the left edge.
struct ai_axis {
  bool log = false, zero_slot = false;
  double lo = 0, hi = 1.5, step = 0.2, x0 = L + pad, x1 = R - pad; // step: linear ticks

  double map(double v) const {
    if (!log) return x0 + (v - lo) / (hi - lo) * (x1 - x0);
    if (v <= 0) return L + pad;
    return x0 + (std::log10(v) - std::log10(lo)) / (std::log10(hi) - std::log10(lo)) * (x1 - x0);
  }
};

ai_axis choose_axis(const std::vector<double> &ai) {
  ai_axis a;
  double minpos = 0, maxv = 0;
  for (double v : ai) {
    if (v > 0 && (minpos == 0 || v < minpos)) minpos = v;
    maxv = std::max(maxv, v);
  }
  if (minpos > 0 && maxv / minpos > 100) {
    a.log = true;
    a.zero_slot = ai.front() <= 0;
    a.lo = std::pow(10.0, std::floor(std::log10(std::min(minpos, 0.8))));
    a.hi = std::pow(10.0, std::ceil(std::log10(std::max(maxv, 1.25))));
    if (a.zero_slot) a.x0 = L + pad + zero_w;
    return a;
  }
  double top = std::max(maxv, 1.25);
  a.step = nice_step(top / 8);
  a.hi = std::ceil(top / a.step - 1e-9) * a.step;
  return a;
}

std::vector<tick> axis_ticks(const ai_axis &a) {
  std::vector<tick> t;
  if (!a.log) {
    for (int k = 0; k * a.step <= a.hi * (1 + 1e-9); ++k)
      t.push_back({a.map(k * a.step), tick_label(k * a.step, a.step)});
    return t;
  }
  t = decade_ticks(a.lo, a.hi, [&a](double v) { return a.map(v); });
  if (a.zero_slot) t.push_back({a.map(0), "0"});
  return t;
}

struct column {
  double x;     // pixel centre of the column
  double p;     // largest probability of a value in the column
  double cum;   // cumulative probability after the column
  bool changed; // the cumulative probability moved within the column
};

std::vector<column> merge_columns(const plot_input &in, const ai_axis &a) {
  std::vector<column> cols;
  double cum = 0;
  long last = 0;
  for (std::size_t i = 0; i < in.ai.size(); ++i) {
    double p = std::max(in.prob[i], 0.0);
    long c = static_cast<long>(std::floor(a.map(in.ai[i])));
    if (cols.empty() || c != last) cols.push_back({static_cast<double>(c) + 0.5, 0, cum, false});
    last = c;
    cum += p;
    cols.back().p = std::max(cols.back().p, p);
    cols.back().cum = std::min(cum, 1.0);
    cols.back().changed = cols.back().changed || p > 0;
  }
  return cols;
}

} // namespace

std::string distribution_svg(const plot_input &in) {
  if (in.ai.size() != in.prob.size())
    throw std::invalid_argument("distribution_svg: ai and prob differ in length");

  const ai_axis ax = choose_axis(in.ai);
  const std::vector<column> cols = merge_columns(in, ax);
  double pmax = 0, defined = 0;
  for (const column &c : cols)
    pmax = std::max(pmax, c.p);
  if (!cols.empty()) defined = cols.back().cum;
  const double ystep = pmax > 0 ? nice_step(pmax / 5) : 0.2;
  const double ytop = pmax > 0 ? std::ceil(pmax / ystep - 1e-9) * ystep : 1.0;
  auto yp = [&](double p) { return B - p / ytop * (B - T); };
  auto yc = [&](double c) { return B - c * (B - T); };

  svg g(W, H);

  // Title, problem, and the mass the axis cannot show.
  g.text(W / 2, 30, "middle", "Exact sampling distribution of the adverse impact ratio",
         " font-size=\"17\" font-weight=\"bold\"");
  g.text(W / 2, 52, "middle",
         "N = " + std::to_string(in.ntot) + " applicants, n = " + std::to_string(in.nhire) +
             " hires, effect size " + shortest(in.esize) + ", minority proportion " +
             shortest(in.prop),
         " font-size=\"13\"");
  g.text(W / 2, 74, "middle",
         "P(AI undefined) = " + prob_text(in.p_undefined) +
             "  (no minority applicant hired, or a group absent from the pool)",
         " font-size=\"13\"");

  // Horizontal grid and the two probability axes.
  const std::string grid = "stroke=\"#e3e3e3\" stroke-width=\"1\"";
  for (int k = 0; k * ystep <= ytop * (1 + 1e-9); ++k) {
    double y = yp(k * ystep);
    if (k > 0) g.line(L, y, R, y, grid);
    g.line(L - 5, y, L, y, "stroke=\"black\"");
    g.text(L - 8, y + 4, "end", tick_label(k * ystep, ystep),
           std::string(" fill=\"") + spike_colour + "\"");
  }
  for (int k = 0; k <= 5; ++k) {
    double y = yc(k * 0.2);
    g.line(R, y, R + 5, y, "stroke=\"black\"");
    g.text(R + 8, y + 4, "start", fixed_digits(k * 0.2, 1),
           std::string(" fill=\"") + cdf_colour + "\"");
  }
  g.line(L, T, L, B, "stroke=\"black\"");
  g.line(R, T, R, B, "stroke=\"black\"");
  g.s += "<text transform=\"translate(22," + px((T + B) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\" fill=\"" + spike_colour +
         "\">Probability of the value</text>\n";
  g.s += "<text transform=\"translate(" + px(W - 22) + "," + px((T + B) / 2) +
         ") rotate(90)\" text-anchor=\"middle\" fill=\"" + cdf_colour +
         "\">Cumulative probability</text>\n";

  // AI axis, with a break between 0 and the decades on a log axis.
  const double brk = L + pad + zero_w / 2;
  if (ax.zero_slot) {
    g.line(L, B, brk - 3, B, "stroke=\"black\"");
    g.line(brk + 3, B, R, B, "stroke=\"black\"");
    for (double dx : {-3.0, 3.0})
      g.line(brk + dx - 3, B + 5, brk + dx + 3, B - 5, "stroke=\"black\"");
  } else {
    g.line(L, B, R, B, "stroke=\"black\"");
  }
  for (const tick &t : axis_ticks(ax)) {
    g.line(t.x, B, t.x, B + (t.label.empty() ? 3 : 6), "stroke=\"black\"");
    if (!t.label.empty()) g.text(t.x, B + 19, "middle", t.label);
  }
  g.text((L + R) / 2, B + 40, "middle",
         std::string("AI ratio = majority selection rate / minority selection rate") +
             (ax.log ? " (log scale)" : ""),
         " font-size=\"13\"");

  // Four-fifths thresholds, labels set outward so that they never meet.
  const std::string dashed = "stroke=\"#555555\" stroke-width=\"1.2\" stroke-dasharray=\"6,4\"";
  const double x08 = ax.map(0.8), x125 = ax.map(1.25);
  g.line(x08, T, x08, B, dashed);
  g.line(x125, T, x125, B, dashed);
  g.text(x08 - 3, T - 9, "end", "0.8", " fill=\"#333333\"");
  g.text(x125 + 3, T - 9, "start", "1.25", " fill=\"#333333\"");

  // Spikes: one path, one vertical stroke per pixel column.
  std::string spikes, tips;
  for (const column &c : cols) {
    if (B - yp(c.p) < 0.5) continue;
    append(spikes, {"M", px(c.x), " ", px(B), "V", px(yp(c.p))});
    if (cols.size() <= 60)
      tips += "<circle cx=\"" + px(c.x) + "\" cy=\"" + px(yp(c.p)) + "\" r=\"3\"/>\n";
  }
  const char *spike_width = cols.size() <= 60 ? "2" : "1";
  if (!spikes.empty())
    g.s += "<path id=\"spikes\" d=\"" + spikes + "\" stroke=\"" + spike_colour +
           "\" stroke-width=\"" + spike_width + "\" fill=\"none\"/>\n";

  // Cumulative step line over all outcomes, from 0 at the left edge.
  std::string step;
  append(step, {"M", px(L), " ", px(B)});
  for (const column &c : cols)
    if (c.changed) append(step, {"H", px(c.x), "V", px(yc(c.cum))});
  append(step, {"H", px(R)});
  g.s += "<path id=\"cdf\" d=\"" + step + "\" stroke=\"" + cdf_colour +
         "\" stroke-width=\"1.8\" fill=\"none\" stroke-linejoin=\"miter\"/>\n";
  // Small tables: a dot on each spike tip, drawn last so that the step line never hides it.
  if (!tips.empty()) g.s += "<g fill=\"" + std::string(spike_colour) + "\">\n" + tips + "</g>\n";

  if (defined <= 0)
    g.text((L + R) / 2, (T + B) / 2, "middle",
           in.ai.empty() ? "The AI ratio takes no defined value"
                         : "No probability falls on a defined AI value",
           " font-size=\"14\" fill=\"#555555\" stroke=\"white\" stroke-width=\"6\" "
           "paint-order=\"stroke\"");

  // Legend.
  const double ly = B + 66;
  g.line(L, ly - 4, L + 22, ly - 4,
         std::string("stroke=\"") + spike_colour + "\" stroke-width=\"6\"");
  g.text(
      L + 30, ly, "start",
      "P(AI = x), left axis; where values share a pixel column, the largest probability is drawn");
  g.line(L, ly + 18, L + 22, ly + 18,
         std::string("stroke=\"") + cdf_colour + "\" stroke-width=\"2\"");
  g.text(L + 30, ly + 22, "start",
         "P(AI \u2264 x) over all outcomes, right axis; it ends at P(AI defined) = " +
             prob_text(defined));
  g.line(L, ly + 40, L + 22, ly + 40, dashed);
  g.text(L + 30, ly + 44, "start",
         "Four-fifths rule: AI > 1.25, minority rate below 4/5 of the majority's; "
         "AI < 0.8, majority rate below 4/5 of the minority's");
  if (ax.zero_slot)
    g.text(L + 30, ly + 66, "start",
           "AI = 0 (no majority applicant hired) is drawn at the far left, before the axis break");
  g.s += "</svg>\n";
  return g.s;
}

plot_input plot_of(const problem &p, const solution &s) {
  plot_input in{p.ntot, p.nhire, p.esize, p.prop, {}, {}, summarize(s).p_undefined};
  for (std::size_t i = 0; i < s.vai.size(); ++i)
    if (s.vai[i] != UNDEF_AI) {
      in.ai.push_back(s.vai[i]);
      in.prob.push_back(s.pvai[i]);
    }
  return in;
}

std::string distribution_svg_text(const problem &p, const solution &s) {
  return distribution_svg(plot_of(p, s));
}
