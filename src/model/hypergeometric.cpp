// The hypergeometric distribution and Fisher's exact test.
#include "model/hypergeometric.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "model/compensated.h"
#include "model/lnbinom.h"

namespace {

constexpr double equal_probability = 1.0 + 1e-7;

} // namespace

hypergeometric_pmf hypergeometric(int n1, int n0, int h) {
  const int n = n1 + n0;
  hypergeometric_pmf d{std::max(0, h - n0), {}};
  const int xhi = std::min(h, n1);
  if (d.xlo == xhi) { // n1 = 0, n0 = 0, h = 0 or h = n: one table
    d.prob = {1.0};
    return d;
  }
  // Two outcomes or more: n1, n0 >= 1 and 0 < h < n, so every binomial below
  // has n >= 1 and p, q strictly inside (0, 1), each rounded once.
  const double p = static_cast<double>(h) / n, q = static_cast<double>(n - h) / n;
  const double lp = std::log(p), lq = std::log(q);
  const binom_trials all(n), minority(n1), majority(n0);
  const double ln_all = ln_binom(h, all, p, q, lp, lq);
  for (int x = d.xlo; x <= xhi; ++x)
    d.prob.push_back(std::exp(ln_binom(x, minority, p, q, lp, lq) +
                              ln_binom(h - x, majority, p, q, lp, lq) - ln_all));
  return d;
}

fisher_p fisher_test(const hypergeometric_pmf &d, int x) {
  const double observed = d.prob[static_cast<std::size_t>(x - d.xlo)];
  compensated_sum below, two_sided;
  for (std::size_t k = 0; k < d.prob.size(); ++k) {
    const double pk = d.prob[k];
    if (d.xlo + static_cast<int>(k) < x) below.add(pk);
    if (pk <= observed * equal_probability) two_sided.add(pk);
  }
  compensated_sum at_most = below, mid = below;
  at_most.add(observed);
  mid.add(0.5 * observed);
  return {std::min(1.0, at_most.value()), std::min(1.0, two_sided.value()),
          std::min(1.0, mid.value())};
}
