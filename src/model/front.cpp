// The exact validity-separation front of composites of correlated predictors.
#include "model/front.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace {

// Below this share of A = r'R^-1 r the validities lie along the separations
// (whitened): every composite of the support has the same trade-off, and the
// plane of the closed form is a line.
constexpr double parallel = 1e-15;

Eigen::VectorXd unit(int k, int i) {
  Eigen::VectorXd w = Eigen::VectorXd::Zero(k);
  w(i) = 1.0;
  return w;
}

// The grown Cholesky factor of the current support and the whitened r and g.
struct walk {
  const predictor_set &p;
  std::vector<int> members;
  Eigen::MatrixXd L;
  Eigen::VectorXd zr, zg;
};

} // namespace

double validity_of(const predictor_set &p, const Eigen::VectorXd &w) {
  return w.dot(p.r) / std::sqrt(w.dot(p.R * w));
}

double separation_of(const predictor_set &p, const Eigen::VectorXd &w) {
  return w.dot(p.g) / std::sqrt(w.dot(p.R * w));
}

composite_front::composite_front(const predictor_set &p, bool nonnegative)
    : p_(p), nonnegative_(nonnegative) {
  const int k = static_cast<int>(p.r.size());
  if (!nonnegative) {
    const Eigen::LLT<Eigen::MatrixXd> llt(p.R);
    most_valid_ = llt.solve(p.r);
    least_adverse_ = llt.solve(p.g);
    const double A = p.r.dot(most_valid_), B = p.r.dot(least_adverse_), G = p.g.dot(least_adverse_);
    if (!(G > 0.0) || A - B * B / G <= parallel * A) least_adverse_ = most_valid_;
    return;
  }
  most_valid_ = unit(k, 0);
  least_adverse_ = unit(k, 0);
  for (int i = 1; i < k; ++i) {
    if (p.r(i) > p.r.dot(most_valid_)) most_valid_ = unit(k, i);
    if (p.g(i) > p.g.dot(least_adverse_)) least_adverse_ = unit(k, i);
  }
  visit_supports(p);
}

void composite_front::visit_supports(const predictor_set &p) {
  const int k = static_cast<int>(p.r.size());
  walk w{p, {}, Eigen::MatrixXd::Zero(k, k), Eigen::VectorXd::Zero(k), Eigen::VectorXd::Zero(k)};
  double best_v = validity_of(p, most_valid_), best_s = separation_of(p, least_adverse_);
  std::uint32_t mask = 0;

  // Adds predictor j to the support of m predictors, given A, B, G of the support.
  const auto visit = [&](auto &self, int start, int m, double A0, double B0, double G0) -> void {
    for (int j = start; j < k; ++j) {
      // The new row of the Cholesky factor: L l = R(S, j), then the diagonal;
      // its square is at least R's smallest eigenvalue.
      for (int i = 0; i < m; ++i) {
        double s = p.R(w.members[i], j);
        for (int t = 0; t < i; ++t)
          s -= w.L(i, t) * w.L(m, t);
        w.L(m, i) = s / w.L(i, i);
      }
      const double d = std::sqrt(1.0 - w.L.row(m).head(m).squaredNorm());
      w.L(m, m) = d;
      w.zr(m) = (p.r(j) - w.L.row(m).head(m).dot(w.zr.head(m))) / d;
      w.zg(m) = (p.g(j) - w.L.row(m).head(m).dot(w.zg.head(m))) / d;
      const double A = A0 + w.zr(m) * w.zr(m), B = B0 + w.zr(m) * w.zg(m),
                   G = G0 + w.zg(m) * w.zg(m);
      w.members.push_back(j);
      mask |= 1u << j;
      const int size = m + 1;
      const auto upper = w.L.topLeftCorner(size, size).triangularView<Eigen::Lower>().transpose();
      const Eigen::VectorXd x = upper.solve(w.zr.head(size)); // R_SS^-1 r_S
      const Eigen::VectorXd y = upper.solve(w.zg.head(size)); // R_SS^-1 g_S
      const auto scattered = [&](const Eigen::VectorXd &v) {
        Eigen::VectorXd full = Eigen::VectorXd::Zero(k);
        for (int i = 0; i < size; ++i)
          full(w.members[i]) = v(i);
        return full;
      };
      if (A > 0.0 && x.minCoeff() >= 0.0 && std::sqrt(A) > best_v) {
        best_v = std::sqrt(A);
        most_valid_ = scattered(x);
      }
      if (G > 0.0 && y.minCoeff() >= 0.0 && std::sqrt(G) > best_s) {
        best_s = std::sqrt(G);
        least_adverse_ = scattered(y);
      }
      const double n2 = G > 0.0 ? A - B * B / G : 0.0;
      if (size >= 2 && n2 > parallel * A) {
        // Weight i at angle phi (t = sqrt(G) cos phi) is P_i sin phi + Q_i cos phi:
        // non-negative on the half circle centred at atan2(P_i, Q_i). Half
        // circles meet a range of at most pi in one arc. phi in [0, pi] is the
        // free maximum at t; two predictors' slice of the sphere is two points,
        // so there the other one, phi in [pi, 2 pi], is a candidate too.
        const double n = std::sqrt(n2), root_g = std::sqrt(G);
        constexpr double pi = std::numbers::pi;
        for (int branch = 0; branch < (size == 2 ? 2 : 1); ++branch) {
          double lo = branch * pi, hi = lo + pi;
          for (int i = 0; i < size && lo <= hi; ++i) {
            const double P = (x(i) - B / G * y(i)) / n, Q = y(i) / root_g;
            if (P == 0.0 && Q == 0.0) continue;
            double centre = std::atan2(P, Q);
            centre += 2.0 * pi * std::round(((lo + hi) / 2.0 - centre) / (2.0 * pi));
            lo = std::max(lo, centre - pi / 2.0);
            hi = std::min(hi, centre + pi / 2.0);
          }
          if (lo > hi) continue;
          const double a = root_g * std::cos(lo), b = root_g * std::cos(hi);
          supports_.push_back(
              {mask, std::min(a, b), std::max(a, b), B / G, branch == 0 ? n : -n, G});
        }
      }
      self(self, j + 1, size, A, B, G);
      w.members.pop_back();
      mask &= ~(1u << j);
    }
  };
  visit(visit, 0, 0, 0.0, 0.0, 0.0);
}

Eigen::VectorXd composite_front::weights_on(std::uint32_t members, double t, bool lower) const {
  const int k = static_cast<int>(p_.r.size());
  std::vector<int> idx;
  for (int i = 0; i < k; ++i)
    if (members & (1u << i)) idx.push_back(i);
  const int m = static_cast<int>(idx.size());
  Eigen::MatrixXd R(m, m);
  Eigen::VectorXd r(m), g(m);
  for (int i = 0; i < m; ++i) {
    r(i) = p_.r(idx[i]);
    g(i) = p_.g(idx[i]);
    for (int j = 0; j < m; ++j)
      R(i, j) = p_.R(idx[i], idx[j]);
  }
  const Eigen::LLT<Eigen::MatrixXd> llt(R);
  const Eigen::VectorXd x = llt.solve(r), y = llt.solve(g);
  const double A = r.dot(x), B = r.dot(y), G = g.dot(y);
  const double n = std::sqrt(A - B * B / G);
  const double along = (lower ? -1.0 : 1.0) * std::sqrt(std::max(0.0, 1.0 - t * t / G)) / n;
  const Eigen::VectorXd v = along * x + (t / G - along * B / G) * y;
  Eigen::VectorXd w = Eigen::VectorXd::Zero(k);
  for (int i = 0; i < m; ++i)
    w(idx[i]) = nonnegative_ ? std::max(0.0, v(i)) : v(i);
  return w;
}

std::optional<Eigen::VectorXd> composite_front::at(double t) const {
  const int k = static_cast<int>(p_.r.size());
  if (!nonnegative_) {
    if (least_adverse_ == most_valid_) return std::nullopt;
    return weights_on((1u << k) - 1u, t, false);
  }
  double best = -std::numeric_limits<double>::infinity();
  std::optional<Eigen::VectorXd> out;
  for (int i = 0; i < k; ++i)
    if (p_.g(i) == t && p_.r(i) > best) {
      best = p_.r(i);
      out = unit(k, i);
    }
  const support *chosen = nullptr;
  for (const support &s : supports_) {
    if (t < s.lo || t > s.hi) continue;
    const double v = t * s.b_over_g + s.n * std::sqrt(std::max(0.0, 1.0 - t * t / s.g));
    if (v > best) {
      best = v;
      chosen = &s;
    }
  }
  if (chosen != nullptr) out = weights_on(chosen->members, t, chosen->n < 0.0);
  return out;
}
