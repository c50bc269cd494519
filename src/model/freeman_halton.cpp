// The exact test of a k x 2 table by its network of partial tables.
#include "model/freeman_halton.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <numeric>

#include "model/compensated.h"
#include "model/lnbeta.h"

namespace {

constexpr double equal_probability = 1e-7; // relative, as R's fisher.test
constexpr double merge_ln = 1e-9;          // paths this close in ln weight are merged
constexpr double tail_rest = 1e-17;        // a tail's unsummed rest, relative to the tail

// Paths reaching the same node: s hires in the groups so far, the weight
// ln prod C(n[j], x[j]) of those groups, and how many paths share it.
struct path {
  int s;
  double w;
  double count;
};

struct network {
  std::vector<int> n;     // sizes, in the order the groups are taken
  std::vector<int> rest;  // rest[i] = n[i] + ... + n[k - 1]
  std::vector<double> lf; // ln j!
  int hires = 0;
  double limit = 0.0; // ln weight of the observed table, with the tolerance
  double slack = 0.0; // margin for the roundings of the heaviest completions
  double total = 0.0; // ln C(N, H)
  compensated_sum p;
  std::int64_t work = 0;
  std::int64_t work_bound = 0, path_bound = 0;
  const std::atomic<bool> *cancel = nullptr;
  bool gave_up = false;

  // Past either bound, or asked to stop: the test gives up.
  bool stop(std::size_t paths) {
    gave_up = gave_up || work > work_bound || static_cast<std::int64_t>(paths) > path_bound ||
              (cancel && cancel->load(std::memory_order_relaxed));
    return gave_up;
  }

  double ln_choose(int a, int b) const {
    return lf[static_cast<std::size_t>(a)] - lf[static_cast<std::size_t>(b)] -
           lf[static_cast<std::size_t>(a - b)];
  }
};

// heaviest[m]: the largest ln prod C(n[j], x[j]) over groups j >= from with m
// hires among them. Each ln C(n, x) is concave in x, so the heaviest allocation
// of m hires takes the m largest ratios C(n, x + 1) / C(n, x) of all groups.
std::vector<double> heaviest_completions(const network &t, std::size_t from) {
  std::vector<double> step;
  for (std::size_t j = from; j < t.n.size(); ++j)
    for (int x = 0; x < t.n[j]; ++x)
      step.push_back(std::log(static_cast<double>(t.n[j] - x) / (x + 1)));
  std::sort(step.begin(), step.end(), std::greater<>());
  std::vector<double> heaviest(step.size() + 1, 0.0);
  std::partial_sum(step.begin(), step.end(), heaviest.begin() + 1);
  return heaviest;
}

// Extends the paths by the group at `stage`, adding up the completions that
// count as a whole and dropping those that cannot; the rest go on.
std::vector<path> extend(network &t, std::size_t stage, const std::vector<path> &paths) {
  const std::vector<double> heaviest = heaviest_completions(t, stage + 1);
  const int ni = t.n[stage], after = t.rest[stage + 1];
  std::vector<path> next;
  for (const path &q : paths) {
    if (t.stop(next.size())) return {};
    const int m = t.hires - q.s;
    const int lo = std::max(0, m - after), hi = std::min(ni, m);
    for (int x = lo; x <= hi; ++x) {
      const double w = q.w + t.ln_choose(ni, x);
      if (w > t.limit) continue;
      const int left = m - x;
      if (w + heaviest[static_cast<std::size_t>(left)] <= t.limit - t.slack)
        t.p.add(q.count * std::exp(w + t.ln_choose(after, left) - t.total));
      else
        next.push_back({q.s + x, w, q.count});
    }
    t.work += hi - lo + 1;
  }
  std::sort(next.begin(), next.end(),
            [](const path &a, const path &b) { return a.s != b.s ? a.s < b.s : a.w < b.w; });
  std::vector<path> merged;
  for (const path &q : next) {
    if (!merged.empty() && merged.back().s == q.s && q.w - merged.back().w <= merge_ln)
      merged.back().count += q.count;
    else
      merged.push_back(q);
  }
  return merged;
}

// The completions of a path by the last two groups, a and b, that count.
void close(network &t, const path &q) {
  const std::size_t k = t.n.size();
  const int a = t.n[k - 2], b = t.n[k - 1], m = t.hires - q.s;
  const int lo = std::max(0, m - b), hi = std::min(a, m);
  const auto g = [&](int x) { return q.w + t.ln_choose(a, x) + t.ln_choose(b, m - x); };
  const int mode = std::clamp(
      static_cast<int>(static_cast<std::int64_t>(m + 1) * (a + 1) / (a + b + 2)), lo, hi);
  ++t.work;
  if (g(mode) <= t.limit - t.slack) {
    t.p.add(q.count * std::exp(q.w + t.ln_choose(a + b, m) - t.total));
    return;
  }
  // g rises to the mode and falls after it: the tables that count are those
  // up to the last x below the mode with g(x) <= limit, and from the first
  // above it. Each tail is summed outward; past the mode its ratios shrink,
  // so the rest after a term t with ratio r is at most t r / (1 - r).
  const auto tail = [&](int from, int to, int dir) {
    compensated_sum s;
    for (int x = from;; x += dir) {
      const double gx = g(x);
      const double term = std::exp(gx - t.total);
      s.add(term);
      ++t.work;
      if (x == to) break;
      const double r = std::exp(g(x + dir) - gx);
      if (r < 1.0 && term * r / (1.0 - r) <= tail_rest * s.value()) break;
    }
    t.p.add(q.count * s.value());
  };
  if (mode > lo && g(lo) <= t.limit) {
    int in = lo, out = mode; // g(in) <= limit < g(out)
    while (out - in > 1) {
      const int mid = in + (out - in) / 2;
      (g(mid) <= t.limit ? in : out) = mid;
      ++t.work;
    }
    tail(in, lo, -1);
  }
  if (mode < hi && g(hi) <= t.limit) {
    int out = mode, in = hi; // g(out) > limit >= g(in)
    while (in - out > 1) {
      const int mid = out + (in - out) / 2;
      (g(mid) <= t.limit ? in : out) = mid;
      ++t.work;
    }
    tail(in, hi, 1);
  }
}

} // namespace

exact_test freeman_halton(const std::vector<int> &n, const std::vector<int> &x,
                          std::int64_t work_bound, std::int64_t path_bound,
                          const std::atomic<bool> *cancel) {
  const std::size_t k = n.size();
  std::vector<std::size_t> order(k);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return n[a] < n[b]; });
  network t;
  t.rest.assign(k + 1, 0);
  double observed = 0.0;
  for (std::size_t i = 0; i < k; ++i)
    t.n.push_back(n[order[i]]);
  for (std::size_t i = k; i-- > 0;)
    t.rest[i] = t.rest[i + 1] + t.n[i];
  for (int v : x)
    t.hires += v;
  const int total = t.rest[0];
  t.lf.resize(static_cast<std::size_t>(total) + 1);
  for (int j = 0; j <= total; ++j)
    t.lf[static_cast<std::size_t>(j)] = dlngam(j + 1.0);
  // The observed weight summed in the order every path is, so that a table of
  // exactly equal probability gets exactly equal weight.
  for (std::size_t i = 0; i < k; ++i)
    observed += t.ln_choose(t.n[i], x[order[i]]);
  t.limit = observed + std::log1p(equal_probability);
  t.total = t.ln_choose(total, t.hires);
  t.slack = 1e-9 * (1.0 + std::fabs(t.limit));

  t.work_bound = work_bound;
  t.path_bound = path_bound;
  t.cancel = cancel;

  std::vector<path> paths = {{0, 0.0, 1.0}};
  for (std::size_t stage = 0; stage + 2 < k; ++stage) {
    t.work += t.rest[stage + 1]; // the heaviest completions
    // The cells this stage will visit are known before it starts: a table
    // far beyond the bound is given up at once, not after the bound's work.
    std::int64_t cells = 0;
    for (const path &q : paths) {
      const int m = t.hires - q.s;
      cells += std::min(t.n[stage], m) - std::max(0, m - t.rest[stage + 1]) + 1;
    }
    if (t.work + cells > work_bound) t.gave_up = true;
    if (t.stop(paths.size())) return {std::nullopt, t.work};
    paths = extend(t, stage, paths);
    if (t.gave_up) return {std::nullopt, t.work};
  }
  for (const path &q : paths) {
    if (t.stop(0)) return {std::nullopt, t.work};
    close(t, q);
  }
  return {std::min(1.0, t.p.value()), t.work};
}
