#pragma once

#include <vector>

// The hypergeometric distribution of X, the minority hires, when h of n1
// minority and n0 majority applicants are hired at random, and Fisher's
// exact test on it.
//
// Each probability is C(n1, x) C(n0, h - x) / C(n1 + n0, h) written as
//   b(x; n1, p) b(h - x; n0, p) / b(h; n1 + n0, p),  p = h / (n1 + n0),
// with b the binomial probability in Loader's saddle-point form (as R's dhyper
// takes it): the powers of p cancel, and each factor is good to a few
// roundings, where differences of ln C(n, k) of order n would lose the last
// four or five digits in pools of thousands.

struct hypergeometric_pmf {
  int xlo = 0;              // prob[k] = P(X = xlo + k)
  std::vector<double> prob; // xlo = max(0, h - n0) ... min(h, n1)
};

// Needs n1, n0 >= 0 and 0 <= h <= n1 + n0. One outcome, with probability 1,
// when the margins allow only one table.
hypergeometric_pmf hypergeometric(int n1, int n0, int h);

// Fisher's exact test of the observed x, each sum compensated and at most 1:
//   lower      P(X <= x)
//   two_sided  the sum over the outcomes no more probable than x, within the
//              relative tolerance 1e-7 that absorbs the rounding of equal
//              probabilities (as R's fisher.test has it)
//   mid        P(X < x) + P(X = x) / 2 (Lancaster's mid-P)
struct fisher_p {
  double lower, two_sided, mid;
};
fisher_p fisher_test(const hypergeometric_pmf &d, int x);
