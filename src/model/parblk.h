#pragma once

#include <cmath>

// The parameters the integrands need besides the abscissa. The integrator
// hands an integrand only x and one opaque pointer, so each computation keeps
// one of these and passes its address through that pointer.
//
// Written in this order: rs2pi and esize once at start; nmin and nmaj once per
// pool; rmaj, smin, blmaj and blmin per outcome. Whenever an integrand runs, 1 <= smin <= nmin and
// 1 <= rmaj <= nmaj.
struct parblk {
  double blmin = 0.0; // ln B(nmin - smin + 1, smin): minority order-statistic normaliser
  double blmaj = 0.0; // ln B(nmaj - rmaj + 1, rmaj): majority order-statistic normaliser
  double rs2pi = 0.0; // 1 / sqrt(2 pi)
  double esize = 0.0; // mean minority score; majority mean 0, both unit variance
  int rmaj = 0;       // rank from the bottom of the best majority applicant not hired
  int smin = 0;       // rank from the bottom of the worst minority applicant hired
  int nmin = 0;       // minority applicants in the pool
  int nmaj = 0;       // majority applicants in the pool
};

// 1 / sqrt(2 pi), formed exactly as the report's digits expect.
inline double make_rs2pi() {
  return 1.0 / std::sqrt(6.283185307179586);
}
