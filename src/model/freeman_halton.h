#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

// The exact test of equal proportions in a k x 2 table (G. H. Freeman and
// J. H. Halton, Biometrika 38, 1951): group i has n[i] members of whom x[i]
// were hired. Given the margins, the tables' probabilities are
//   P(x) = prod C(n[i], x[i]) / C(N, H),
// and the p-value is the sum of the probabilities of the tables no more
// probable than the observed one, within the relative tolerance 1e-7 that
// absorbs the rounding of equal probabilities (as R's fisher.test has it).
//
// The tables are the paths of a network (C. R. Mehta and N. R. Patel, JASA 78,
// 1983): stage i holds the hires s of the groups before i, a path's weight is
// the product of its C(n[j], x[j]), and the groups are taken in ascending size.
// At each node the completions are judged at once where they can be:
//   - every completion weighs at least the path so far (each C >= 1), so a
//     path already heavier than the observed table is dropped whole;
//   - the heaviest completion is the concave allocation of the remaining hires
//     (the largest ratios C(n, x + 1) / C(n, x) of all groups left, taken in
//     turn); when even it is no heavier, all completions count, and together
//     they weigh C(remaining applicants, remaining hires) (Vandermonde).
// Paths reaching a node with equal weights (within 1e-9 relative: groups of
// equal size swapped) are merged. The last two groups are summed in closed
// form: their tables form a log-concave sequence, so those no more probable
// than the observed are two tails, found by bisection and summed outward until
// the geometric bound of the rest falls below 1e-17 of the sum.
//
// Work is counted as the tables' cells visited, and the test gives up (p
// without a value) when a stage would take it beyond `work_bound` of them
// (known before the stage starts), or when the paths kept at a stage would
// pass `path_bound`. Weights are ln C from lgamma, good to about
// 1e-16 of ln N! absolute: p to about 1e-10 relative at N = 1e5.

struct exact_test {
  std::optional<double> p; // none: gave up, or cancelled
  std::int64_t work = 0;   // cells visited
};

// Needs k >= 2, 0 <= x[i] <= n[i]; the total of n at most INT_MAX.
exact_test freeman_halton(const std::vector<int> &n, const std::vector<int> &x,
                          std::int64_t work_bound, std::int64_t path_bound,
                          const std::atomic<bool> *cancel = nullptr);
