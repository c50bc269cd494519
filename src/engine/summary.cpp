// Threshold probabilities and percentiles of a computed distribution.
#include "engine/summary.h"

#include <cmath>
#include <limits>
#include <vector>

#include "model/compensated.h"

namespace {

constexpr double four_fifths = 0.8;
constexpr double five_fourths = 1.25;
constexpr double threshold_reach = 1e-9;

// For each share q, the smallest defined value whose share of the defined
// probability, counted from below, reaches q (qs ascending), in one pass:
// every share reads the same running total. Sums of many terms carry
// rounding, hence the slack.
std::vector<double> percentiles(const std::vector<double> &vai, const std::vector<double> &pvai,
                                double pdef, const std::vector<double> &qs, ai_method method) {
  std::vector<double> out(qs.size(), std::numeric_limits<double>::quiet_NaN());
  if (!(pdef > 0.0)) return out;
  running_total cum{method};
  double last = std::numeric_limits<double>::quiet_NaN();
  std::size_t next = 0; // the first share not yet reached
  for (std::size_t i = 0; i < vai.size() && next < qs.size(); ++i) {
    if (vai[i] == UNDEF_AI) continue;
    const double below = cum.add(pvai[i]);
    if (!(pvai[i] > 0.0)) continue;
    last = vai[i];
    while (next < qs.size() && below / pdef >= qs[next] - 1e-12)
      out[next++] = vai[i];
  }
  for (; next < qs.size(); ++next)
    out[next] = last;
  return out;
}

} // namespace

bool beyond_five_fourths(double ai) {
  return ai - five_fourths > threshold_reach;
}

double running_total::add(double p) {
  if (method == ai_method::nested) return sum += p;
  add_compensated(sum, carry, p);
  return sum + carry;
}

// Every sum runs in table order through a running_total: the nested method's
// plain sums give the classic report's digits.
moments ai_moments(const std::vector<double> &vai, const std::vector<double> &pvai,
                   ai_method method) {
  running_total pdef{method}, s1{method};
  for (std::size_t i = 0; i < vai.size(); ++i) {
    if (vai[i] == UNDEF_AI) continue;
    pdef.add(pvai[i]);
    s1.add(vai[i] * pvai[i]);
  }
  const double defined = pdef.add(0.0);
  const double mean = s1.add(0.0) / defined;
  running_total s2{method};
  for (std::size_t i = 0; i < vai.size(); ++i) {
    if (vai[i] == UNDEF_AI) continue;
    const double dv = vai[i] - mean;
    s2.add(dv * dv * pvai[i]);
  }
  const double var = s2.add(0.0) / defined;
  return {mean, var, std::sqrt(var)};
}

ai_summary summarize(const std::vector<double> &vai, const std::vector<double> &pvai,
                     ai_method method) {
  ai_summary s{};
  const moments m = ai_moments(vai, pvai, method);
  s.mean = m.mean;
  s.var = m.var;
  s.sd = m.sd;
  running_total undefined{method}, defined{method}, above{method}, below{method};
  for (std::size_t i = 0; i < vai.size(); ++i) {
    if (vai[i] == UNDEF_AI) {
      undefined.add(pvai[i]);
      continue;
    }
    defined.add(pvai[i]);
    if (beyond_five_fourths(vai[i])) above.add(pvai[i]);
    if (four_fifths - vai[i] > threshold_reach) below.add(pvai[i]);
  }
  s.p_undefined = undefined.add(0.0);
  s.p_above = above.add(0.0);
  s.p_below = below.add(0.0);
  const double pdef = defined.add(0.0);
  const std::vector<double> q =
      percentiles(vai, pvai, pdef, {0.05, 0.25, 0.50, 0.75, 0.95}, method);
  s.p5 = q[0];
  s.p25 = q[1];
  s.p50 = q[2];
  s.p75 = q[3];
  s.p95 = q[4];
  return s;
}
