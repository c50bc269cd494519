#pragma once

// Logarithm of the binomial probability C(n, k) p^k q^(n-k) for n in the
// thousands, where ln C(n, k) and k ln p are each far larger than their sum
// and adding them in doubles would lose the probability's last 4 or 5 digits.
// Near the mean the logarithm is good to a few 1e-16 (absolute, so relative
// for the probability); far from it, to about 1e-16 k |ln(k / np)|.
//
// Loader's saddle-point form (C. Loader, "Fast and accurate computation of
// binomial probabilities", 2000): with the Stirling error of each factorial
// and the deviance bd0 computed without cancellation,
//   ln b = stirlerr(n) - stirlerr(k) - stirlerr(n - k)
//          - bd0(k, n p) - bd0(n - k, n q) + ln sqrt(n / (2 pi k (n - k))).
// Every term is small near the mean, so their rounding errors are too.

// ln n! - ((n + 1/2) ln n - n + ln sqrt(2 pi)), for n >= 1.
double stirlerr(int n);

// x ln(x / mean) + mean - x, for x > 0 and mean >= 0; ln_mean = ln(mean),
// used where mean itself has underflowed.
double bd0(double x, double mean, double ln_mean);

// What ln_binom needs of the number of trials n >= 1, worked out once for
// the many calls with the same n.
struct binom_trials {
  explicit binom_trials(int trials);
  int n;
  double ln_n;       // ln n
  double stirlerr_n; // stirlerr(n)
};

// ln(C(n, k) p^k q^(n-k)) for 0 <= k <= n = t.n, with q = 1 - p. The caller
// passes p and q each to full relative accuracy (neither as one minus the
// other) and their logarithms, finite even where p or q underflows.
double ln_binom(int k, const binom_trials &t, double p, double q, double ln_p, double ln_q);

// C(n, k) p^k (1 - p)^(n-k) for 0 <= k <= n, n >= 1 and 0 < p < 1 taken as
// exact, to within a rounding or two of its own value even far into the
// tails of a million trials. The same form as ln_binom, evaluated in extended
// precision (64-bit significands on x86-64): in doubles the rounding of n p
// and n (1 - p) shifts each deviance by (k - n p) roundings, and the
// logarithm of a probability of 1e-20, itself near 46, carries a few of its
// own roundings into the probability; both are far below a double's digits
// here. The pool weights of the direct method come from it.
double binom_probability(int k, int n, double p);
