// Mixing over pool compositions and the summary of the distribution.
#include "engine/mixing.h"

#include <cmath>

#include "driver/report.h"
#include "engine/table.h"
#include "model/special.h"

double pool_weight(int ntot, int nmin, double prop) {
  const double lp1 = std::log(prop) * nmin;
  const double lp2 = std::log(1.0 - prop) * (ntot - nmin);
  const double a = ntot + 1.0;
  const double b = nmin + 1.0;
  const double c = a - b + 1.0;
  // Added in this order: the weights' last bits reach the cumulative column.
  return std::exp(((dlngam(a) - dlngam(b)) - dlngam(c)) + lp1 + lp2);
}

std::size_t match_entry(const std::vector<double> &vai, double ai) {
  for (std::size_t i = 0; i < vai.size(); ++i)
    if (std::fabs(ai - vai[i]) < 1e-13) return i;
  return vai.size();
}

mix_status mix_pools(int ntot, int nhire, double esize, double prop, const std::vector<double> &vai,
                     std::vector<double> &pvai,
                     const std::function<void(const pool_result &)> &emit) {
  pool_work w(esize);
  for (int nmin = 0; nmin <= ntot; ++nmin) {
    const double bweight = pool_weight(ntot, nmin, prop);
    if (weight_cutoff > bweight) continue; // a NaN weight is not skipped
    const pool_result r = pool_outcomes(ntot, nhire, nmin, w);
    emit(r);
    if (r.gave_up) return {true, nmin, r.failed_t, r.failed_j};
    for (std::size_t t = 0; t < r.ai.size(); ++t) {
      const std::size_t i = match_entry(vai, r.ai[t]);
      if (i < vai.size()) pvai[i] += r.pvs[t] * bweight;
    }
  }
  return {};
}

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

std::string distribution_rows(const std::vector<double> &vai, const std::vector<double> &pvai) {
  std::string out;
  out.reserve(54 * vai.size());
  double cpvai = 0.0;
  for (std::size_t i = 0; i < vai.size(); ++i) {
    cpvai += pvai[i];
    out += row_line(static_cast<int>(i + 1), vai[i], pvai[i], cpvai);
  }
  return out;
}
