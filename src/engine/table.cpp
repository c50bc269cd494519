// Candidate ratio table: the rows of the report.
#include "engine/table.h"

#include <algorithm>
#include <cmath>

namespace {

// Hires from the group of m applicants range over kmin ... kmax.
int kmax_of(int nhire, int m) {
  return std::min(nhire, m);
}
int kmin_of(int ntot, int nhire, int m) {
  return nhire - std::min(nhire, ntot - m);
}

} // namespace

std::int64_t candidate_count(int ntot, int nhire) {
  if (ntot < 2 || nhire < 0 || nhire > ntot) return 0;
  std::int64_t c = 0;
  for (int m = 1; m <= ntot - 1; ++m)
    c += kmax_of(nhire, m) - kmin_of(ntot, nhire, m) + 1;
  return c;
}

namespace {

// The ratio of k hires from m majority applicants (the rest from the others).
double ratio_of(int ntot, int nhire, int m, int k) {
  const double dk = k;
  const double dh = nhire - dk;
  // Both selection rates are rounded before the division, exactly as a
  // pool's outcome computes its ratio, so the two agree bit for bit.
  return dh != 0.0 ? (dk / m) / (dh / (ntot - m)) : 0.0;
}

// The ratios of a pool with m majority applicants, appended to vai.
void add_ratios(int ntot, int nhire, int m, std::vector<double> &vai) {
  for (int k = kmin_of(ntot, nhire, m); k <= kmax_of(nhire, m); ++k)
    vai.push_back(ratio_of(ntot, nhire, m, k));
}

std::vector<double> finish_table(std::vector<double> vai) {
  std::sort(vai.begin(), vai.end());
  // Exact equality: values a last bit apart stay separate rows.
  vai.erase(std::unique(vai.begin(), vai.end()), vai.end());
  vai.push_back(UNDEF_AI);
  vai.shrink_to_fit(); // only the distinct values are kept for the run
  return vai;
}

} // namespace

std::vector<double> candidate_table(int ntot, int nhire) {
  std::vector<double> vai;
  vai.reserve(static_cast<std::size_t>(candidate_count(ntot, nhire)) + 1);
  for (int m = 1; m <= ntot - 1; ++m)
    add_ratios(ntot, nhire, m, vai);
  return finish_table(std::move(vai));
}

std::vector<double> pool_table(int ntot, int nhire, int nmin) {
  std::vector<double> vai;
  const int m = ntot - nmin;
  if (nmin == 0 || m == 0) return finish_table(std::move(vai));
  add_ratios(ntot, nhire, m, vai);
  // The enumeration writes 0 for the outcome without a minority hire (the
  // last, all hires from the majority), whose ratio is undefined. In the
  // candidate table another pool has a true 0 anyway; in one pool's table it
  // would be a row that no outcome reaches.
  if (kmax_of(nhire, m) == nhire) vai.pop_back();
  return finish_table(std::move(vai));
}

double table_entry_of(int ntot, int nhire, int nmin, double ai) {
  double entry = ai;
  const auto look = [&](int m) {
    const int lo = kmin_of(ntot, nhire, m), hi = kmax_of(nhire, m);
    // The ratio rises with k; near ai, k m H / (b + ai m) with b = ntot - m.
    const double k = ai * m * nhire / ((ntot - m) + ai * m);
    const int centre = std::clamp(static_cast<int>(std::lround(k)), lo, hi);
    for (int j = std::max(lo, centre - 2); j <= std::min(hi, centre + 2); ++j) {
      const double v = ratio_of(ntot, nhire, m, j);
      if (ai - v < 1e-13 && v < entry) entry = v;
    }
  };
  if (nmin >= 0) {
    if (nmin > 0 && nmin < ntot) look(ntot - nmin);
  } else {
    for (int m = 1; m <= ntot - 1; ++m)
      look(m);
  }
  return entry;
}
