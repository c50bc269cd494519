#pragma once

#include <vector>

#include "torvan.h"

// Several observed selections together (torvan.h's events_audit).
//
// Mantel-Haenszel and Cochran-Mantel-Haenszel over the events' 2 x 2 tables
// a = X, b = N1 - X, c = Y, d = N0 - Y, n = N1 + N0 (A. Agresti, Categorical
// Data Analysis, 2nd ed., 2002, sections 6.3.2 and 6.3.5):
//   odds ratio  sum(a d / n) / sum(b c / n)
//   its interval on the log scale with the variance of Robins, Breslow and
//   Greenland (Biometrics 42, 1986)
//   z           sum(a - N1 h / n) / sqrt(sum N1 N0 h (n - h) / (n^2 (n - 1)))
// An event with one applicant adds nothing to either.
mantel_haenszel mantel_haenszel_of(const std::vector<selection_counts> &tables, double alpha);
