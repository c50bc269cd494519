// Holm's adjustment of several p-values.
#include "model/holm.h"

#include <algorithm>
#include <cstddef>

std::vector<std::optional<double>> holm(const std::vector<std::optional<double>> &p) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < p.size(); ++i)
    if (p[i]) order.push_back(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return *p[a] < *p[b]; });
  const std::size_t m = order.size();
  std::vector<std::optional<double>> adjusted(p.size());
  double running = 0.0;
  for (std::size_t j = 0; j < m; ++j) {
    running = std::max(running, static_cast<double>(m - j) * *p[order[j]]);
    adjusted[order[j]] = std::min(1.0, running);
  }
  return adjusted;
}
