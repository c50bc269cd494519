#pragma once

#include <optional>
#include <vector>

// Holm's step-down adjustment of m p-values for the family-wise error rate
// (S. Holm, "A simple sequentially rejective multiple test procedure",
// Scand. J. Statist. 6, 1979): with p(1) <= ... <= p(m) in ascending order,
//   adjusted p(i) = min(1, max over j <= i of (m - j + 1) p(j)).
// Evaluated as R's p.adjust(method = "holm") evaluates it - a stable order, the
// integer factor times p, a running maximum, then the cap at 1 - so the two
// agree bit for bit. A p without a value is not counted in m and stays
// without one, as R leaves an NA out.
std::vector<std::optional<double>> holm(const std::vector<std::optional<double>> &p);
