#pragma once

// The exact front of composites w'x of k predictors: for each separation of
// the groups, the weights of greatest validity. With R the predictors'
// correlation matrix (positive definite, unit diagonal), r their validities
// and g their separations, a composite has
//   validity    v(w) = w'r / sqrt(w'Rw)
//   separation  s(w) = w'g / sqrt(w'Rw)
// (g is the predictors' esize for within-group matrices, their correlation
// with minority membership for overall ones; either way s rises with the
// composite's esize.)
//
// Free weights: in whitened coordinates u = R^(1/2) w on the unit sphere both
// are linear, and the best u at s = t lies in the plane of a = R^(-1/2) r and
// b = R^(-1/2) g: t b / |b|^2 plus the rest of the unit length along a's part
// orthogonal to b. Back in w: a combination of R^-1 r and R^-1 g.
//
// Non-negative weights: the optimum on its support S is the free optimum of
// the predictors in S (a local maximum inside the face is a critical point of
// a linear function on a sphere's slice, hence its maximum; a pair's slice is
// two points, and both are candidates). Every support of
// two or more predictors is visited once, its Cholesky factor grown by one
// row from its parent's; each keeps the range of t over which its free
// optimum has no negative weight (the weights are a sin + b cos of one angle,
// so the range is one arc). At t the answer is the best support whose range
// holds t. 2^k supports: k is at most 20.

#include <cstdint>
#include <optional>
#include <vector>

#include <Eigen/Dense>

struct predictor_set {
  Eigen::MatrixXd R;
  Eigen::VectorXd r;
  Eigen::VectorXd g;
};

double validity_of(const predictor_set &p, const Eigen::VectorXd &w);
double separation_of(const predictor_set &p, const Eigen::VectorXd &w);

class composite_front {
public:
  composite_front(const predictor_set &p, bool nonnegative);

  // The weights of greatest validity (the regression weights R^-1 r, or the
  // best non-negative ones), and those of greatest separation (R^-1 g, or the
  // best non-negative ones: the least adverse composite).
  const Eigen::VectorXd &most_valid() const { return most_valid_; }
  const Eigen::VectorXd &least_adverse() const { return least_adverse_; }

  // The weights of greatest validity among those of separation t, for t
  // between the separations of the two ends; nothing when no admissible
  // weights have it.
  std::optional<Eigen::VectorXd> at(double t) const;

  // Supports kept (non-negative weights): those whose free optimum is
  // non-negative somewhere. Counts the work.
  std::size_t supports() const { return supports_.size(); }

private:
  // A support's free optimum at t: validity t B / G + n sqrt(1 - t^2 / G),
  // with A = r'R^-1 r, B = r'R^-1 g, G = g'R^-1 g over the support and
  // n = sqrt(A - B^2 / G) (-n: the other point of a pair's slice);
  // non-negative for t in [lo, hi].
  struct support {
    std::uint32_t members;
    double lo, hi, b_over_g, n, g;
  };
  void visit_supports(const predictor_set &p);
  Eigen::VectorXd weights_on(std::uint32_t members, double t, bool lower) const;

  predictor_set p_;
  bool nonnegative_;
  Eigen::VectorXd most_valid_;
  Eigen::VectorXd least_adverse_;
  std::vector<support> supports_;
};
