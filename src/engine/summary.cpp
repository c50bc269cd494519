// Threshold probabilities and percentiles of a computed distribution.
#include "engine/summary.h"

#include <cmath>
#include <limits>

namespace {

constexpr double four_fifths = 0.8;
constexpr double five_fourths = 1.25;
constexpr double threshold_reach = 1e-9;

// The smallest defined value whose share of the defined probability, counted
// from below, reaches q. Sums of many terms carry rounding, hence the slack.
double percentile(const std::vector<double> &vai, const std::vector<double> &pvai, double pdef,
                  double q) {
  if (!(pdef > 0.0)) return std::numeric_limits<double>::quiet_NaN();
  double cum = 0.0;
  double last = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t i = 0; i < vai.size(); ++i) {
    if (vai[i] == UNDEF_AI) continue;
    cum += pvai[i];
    if (pvai[i] > 0.0) last = vai[i];
    if (cum / pdef >= q - 1e-12 && pvai[i] > 0.0) return vai[i];
  }
  return last;
}

} // namespace

moments ai_moments(const std::vector<double> &vai, const std::vector<double> &pvai) {
  double pdef = 0.0;
  double s1 = 0.0;
  for (std::size_t i = 0; i < vai.size(); ++i) {
    if (vai[i] == UNDEF_AI) continue;
    pdef += pvai[i];
    s1 += vai[i] * pvai[i];
  }
  const double mean = s1 / pdef;
  double s2 = 0.0;
  for (std::size_t i = 0; i < vai.size(); ++i) {
    if (vai[i] == UNDEF_AI) continue;
    const double dv = vai[i] - mean;
    s2 += dv * dv * pvai[i];
  }
  const double var = s2 / pdef;
  return {mean, var, std::sqrt(var)};
}

ai_summary summarize(const std::vector<double> &vai, const std::vector<double> &pvai) {
  ai_summary s{};
  const moments m = ai_moments(vai, pvai);
  s.mean = m.mean;
  s.var = m.var;
  s.sd = m.sd;
  double pdef = 0.0;
  for (std::size_t i = 0; i < vai.size(); ++i) {
    if (vai[i] == UNDEF_AI) {
      s.p_undefined += pvai[i];
      continue;
    }
    pdef += pvai[i];
    if (vai[i] - five_fourths > threshold_reach) s.p_above += pvai[i];
    if (four_fifths - vai[i] > threshold_reach) s.p_below += pvai[i];
  }
  s.p5 = percentile(vai, pvai, pdef, 0.05);
  s.p25 = percentile(vai, pvai, pdef, 0.25);
  s.p50 = percentile(vai, pvai, pdef, 0.50);
  s.p75 = percentile(vai, pvai, pdef, 0.75);
  s.p95 = percentile(vai, pvai, pdef, 0.95);
  return s;
}
