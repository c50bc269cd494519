#pragma once

#include <optional>
#include <string>
#include <vector>

#include "torvan.h"

// Audits of several groups (torvan.h's groups_audit).
//
// Each comparison is the two-group audit of the pair (engine/selection.h), the
// group as the minority and the reference as the majority; the Holm
// adjustment is model/holm.h's. Pearson's chi-square of the k x 2 table is
//   sum over groups and both columns of (observed - expected)^2 / expected,
// expected = applicants times the column's total over all applicants, with
// k - 1 degrees of freedom (GSL's upper tail); the exact test is
// model/freeman_halton.h's, within the bounds below.

// The exact test's bounds on its work: cells visited cost about 15 ns, so
// about a second or two of one core, and the paths kept at a stage (24 bytes
// each) under 100 MB.
inline constexpr long long exact_work_bound = 100'000'000;
inline constexpr long long exact_path_bound = 4'000'000;

// Why groups cannot be audited: the group at fault (its index; -1 for the
// groups as a whole), and for a name given twice the group it repeats.
struct groups_fault {
  int group = -1;
  int repeats = -1;
  std::string why;
};
std::optional<groups_fault> groups_fault_of(const std::vector<group_counts> &groups,
                                            const std::string &reference, double alpha);

// The reference: the named group, or that with the highest selection rate
// (ties: the larger group, then the first given), and why, in words.
struct reference_choice {
  std::size_t index = 0;
  std::string why;
};
reference_choice choose_reference(const std::vector<group_counts> &groups,
                                  const std::string &reference);
