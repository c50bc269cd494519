#pragma once

#include <atomic>
#include <vector>

#include "torvan.h"

// The effect size implied by observed top-down selections.
//
// Under the program's model - normal scores with unit variance, the
// minority's mean esize above the majority's, the h best of each pool hired -
// the chance of x minority hires from n1 minority and n0 majority applicants
// is the known pool's outcome probability of the direct method. Over several
// pools the likelihood is the product of theirs, and the statistic of the
// interval is the total minority hires S, whose distribution is the
// convolution of the pools' outcome distributions at a common esize.
//   mle    maximizes the log-likelihood: a bracket walked uphill from the
//          large-sample value, then Brent's parabolic steps safeguarded by
//          golden sections, to 1e-6 of the large-sample standard error,
//          then a Newton step on central differences, to about 1e-12 of it
//   lower  P(S' >= S) = alpha / 2,  upper  P(S' <= S) = alpha / 2: both
//          tails are monotone in esize, and their probits nearly linear in
//          it, so a Newton step with the large-sample slope, secant steps
//          to a bracket and safeguarded secant steps within it meet each to
//          1e-9 relative in four to six evaluations
// Each evaluation computes every pool's outcome distribution at one esize.
// An end, or the mle, is unbounded when S is the fewest (the most) minority
// hires the pools allow.

// A pool whose outcome depends on esize: n1, n0 >= 1, 0 < h < n1 + n0, and
// the observed minority hires x.
struct observed_pool {
  int n1, n0, h, x;
};

// Whether counts make such a pool: both groups present, somebody but not
// everybody hired.
bool informative(const selection_counts &c);
observed_pool observed_pool_of(const selection_counts &c);

// The fit to pools (at least one). The probit is left without a value; a
// cancelled fit has none at all and sets `cancelled`.
implied_esize fit_esize(const std::vector<observed_pool> &pools, double alpha,
                        const std::atomic<bool> *cancel, bool &cancelled);
