// torvan design: the exact front of composites and every rule's exact
// probability of flagging the minority at each of its points.
// Eigen 3.4's triangular and self-adjoint matrix-vector products trip GCC
// 12's -Wmaybe-uninitialized when optimized without NDEBUG (a false positive
// inside Eigen); the state must be set before Eigen's headers are read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "engine/design.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "engine/figures.h"
#include "engine/rules.h"
#include "engine/shortest.h"
#include "model/composite.h"

namespace {

// Rounding tolerance of the matrix's symmetry and unit diagonal, and the
// smallest eigenvalue taken as positive definite: below it the weights'
// digits would be noise.
constexpr double matrix_tolerance = 1e-12;
constexpr double least_eigenvalue = 1e-10;
// Bisection steps of --max-risk: the esize to a millionth of the front's span.
constexpr int risk_bisections = 20;
// Steps of --min-impact-ratio past the esize a rounding short of the bound.
constexpr int impact_ratio_steps = 8;

std::string printed(const char *format, double v) {
  char buf[128];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

std::optional<std::string> predictors_refusal(const design_options &o) {
  const std::size_t k = o.predictors.size();
  if (k == 0) return "no predictors";
  if (k > static_cast<std::size_t>(max_design_predictors))
    return std::to_string(k) + " predictors; a design takes at most " +
           std::to_string(max_design_predictors);
  std::set<std::string> seen;
  for (std::size_t i = 0; i < k; ++i) {
    const design_predictor &p = o.predictors[i];
    if (p.name.empty()) return "predictor " + std::to_string(i + 1) + " has no name";
    if (!seen.insert(p.name).second) return "predictor '" + p.name + "' appears twice";
    if (!(p.validity > -1.0 && p.validity < 1.0))
      return "the validity of " + p.name + ", " + shortest(p.validity) +
             ", must lie strictly between -1 and 1";
    if (!std::isfinite(p.esize)) return "the esize of " + p.name + " must be a finite number";
  }
  return std::nullopt;
}

std::optional<std::string> matrix_refusal(const design_options &o) {
  const std::size_t k = o.predictors.size();
  const auto &C = o.correlations;
  if (C.size() != k || std::any_of(C.begin(), C.end(), [&](auto &row) { return row.size() != k; }))
    return "the correlation matrix must have one row and one column per predictor (" +
           std::to_string(k) + ")";
  const auto name = [&](std::size_t i) { return o.predictors[i].name; };
  for (std::size_t i = 0; i < k; ++i)
    for (std::size_t j = 0; j < k; ++j) {
      if (!std::isfinite(C[i][j]))
        return "the correlation of " + name(i) + " and " + name(j) + " is not a number";
      if (i == j && std::abs(C[i][i] - 1.0) > matrix_tolerance)
        return "the correlation of " + name(i) + " with itself is " + shortest(C[i][i]) + ", not 1";
      if (j > i && std::abs(C[i][j] - C[j][i]) > matrix_tolerance)
        return "the correlation matrix is not symmetric: " + name(i) + "-" + name(j) + " is " +
               shortest(C[i][j]) + " but " + name(j) + "-" + name(i) + " is " + shortest(C[j][i]);
    }
  const predictor_set p = design_predictors(o);
  const double smallest = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(p.R).eigenvalues()(0);
  if (!(smallest > least_eigenvalue))
    return "the correlation matrix is not positive definite: its smallest eigenvalue is " +
           printed("%.6g", smallest);
  const Eigen::LLT<Eigen::MatrixXd> llt(p.R);
  const double validity = std::sqrt(p.r.dot(llt.solve(p.r)));
  if (!(validity < 1.0))
    return "the validities do not fit the correlations: the regression composite's validity "
           "would be " +
           printed("%.6g", validity) + ", not below 1";
  if (o.matrix == design_matrix::overall) {
    const double group = std::sqrt(p.g.dot(llt.solve(p.g)));
    if (!(group < 1.0))
      return "the esizes do not fit the overall correlations: the predictors' multiple "
             "correlation with minority membership would be " +
             printed("%.6g", group) + ", not below 1";
  }
  return std::nullopt;
}

std::optional<std::string> selection_refusal(const design_options &o) {
  if (o.ntot < 2) return "ntot = " + std::to_string(o.ntot) + " must be at least 2";
  if (o.nhire && o.selection_ratio) return "nhire and selection_ratio exclude each other: give one";
  if (!o.nhire && !o.selection_ratio) return "nhire or selection_ratio is required";
  if (o.nhire && !(*o.nhire >= 1 && *o.nhire <= o.ntot))
    return "nhire = " + std::to_string(*o.nhire) +
           " must lie between 1 and ntot = " + std::to_string(o.ntot);
  if (o.selection_ratio && !(*o.selection_ratio > 0.0 && *o.selection_ratio <= 1.0))
    return "selection_ratio = " + shortest(*o.selection_ratio) + " must lie above 0 and at most 1";
  if (o.prop && o.minority) return "prop and minority exclude each other: give one";
  if (!o.prop && !o.minority) return "prop or minority is required";
  if (o.prop && !(*o.prop > 0.0 && *o.prop < 1.0))
    return "prop = " + shortest(*o.prop) + " must lie strictly between 0 and 1";
  if (o.minority && !(*o.minority >= 1 && *o.minority < o.ntot))
    return "minority = " + std::to_string(*o.minority) +
           " must lie between 1 and ntot - 1 = " + std::to_string(o.ntot - 1);
  if (!(o.alpha > 0.0 && o.alpha < 1.0))
    return "alpha = " + shortest(o.alpha) + " must lie strictly between 0 and 1";
  return std::nullopt;
}

std::optional<std::string> choice_refusal(const design_options &o) {
  if (o.points < 1 || o.points > 1000)
    return "points = " + std::to_string(o.points) + " must lie between 1 and 1000";
  const std::vector<std::string> rules = flagging_rules();
  if (std::find(rules.begin(), rules.end(), o.rule) == rules.end()) {
    std::string why = "rule '" + o.rule + "' is not one of ";
    for (const std::string &r : rules)
      why += (&r == &rules.front() ? "" : ", ") + r;
    return why;
  }
  if (o.max_risk && o.min_impact_ratio)
    return "max_risk and min_impact_ratio exclude each other: give one";
  if (o.max_risk && !(*o.max_risk > 0.0 && *o.max_risk < 1.0))
    return "max_risk = " + shortest(*o.max_risk) + " must lie strictly between 0 and 1";
  if (o.min_impact_ratio && !(*o.min_impact_ratio > 0.0 && std::isfinite(*o.min_impact_ratio)))
    return "min_impact_ratio = " + shortest(*o.min_impact_ratio) + " must be a number above 0";
  if (o.threads < 1) return "threads = " + std::to_string(o.threads) + " must be at least 1";
  return std::nullopt;
}

std::optional<std::string> comparison_refusal(const design_options &o) {
  for (const design_comparison &c : o.compare) {
    if (c.name.empty()) return "a comparison has no name";
    if (c.weights.empty()) {
      if (c.name != "unit" && c.name != "regression")
        return "comparison '" + c.name + "' has no weights (only unit and regression are built in)";
      continue;
    }
    if (c.weights.size() != o.predictors.size())
      return "comparison '" + c.name + "' has " + std::to_string(c.weights.size()) +
             " weights for " + std::to_string(o.predictors.size()) + " predictors";
    if (!std::all_of(c.weights.begin(), c.weights.end(), [](double w) { return std::isfinite(w); }))
      return "comparison '" + c.name + "' has a weight that is not a number";
    if (std::all_of(c.weights.begin(), c.weights.end(), [](double w) { return w == 0.0; }))
      return "comparison '" + c.name + "' has only zero weights";
  }
  return std::nullopt;
}

// Evaluates composites and counts the exact problems it solves.
struct evaluator {
  const design_options &opt;
  const predictor_set &set;
  design_result &res;

  design_point point(const Eigen::VectorXd &raw) {
    design_point pt;
    const Eigen::VectorXd w = raw / raw.cwiseAbs().sum();
    pt.weights.assign(w.data(), w.data() + w.size());
    pt.validity = validity_of(set, w);
    pt.esize = design_esize(opt, separation_of(set, w));
    const population_rates rates =
        population_selection(pt.esize, res.minority_share, res.selection_ratio);
    pt.population_impact_ratio = rates.minority / rates.majority;
    pt.population_ai = rates.majority / rates.minority;
    problem p = res.selection;
    p.esize = pt.esize;
    // A point needs the rules' probabilities, P(undefined) and P(AI > 1.25)
    // alone: the same bits as the whole figures', without keeping every
    // outcome for the percentiles.
    pt.f = solve_rule_figures(p, res.solve);
    ++res.problems;
    res.cancelled = res.cancelled || pt.f.status.cancelled;
    std::optional<std::string> why;
    if (!completed(pt.f.status))
      why = gave_up_reason(pt.f.status);
    else
      why = check_refusal(pt.f.check); // the nested method's range missed the scores
    if (why && res.error.empty()) res.error = "esize " + shortest(pt.esize) + ": " + *why;
    return pt;
  }
};

double risk(const design_options &opt, const design_point &pt) {
  return rule_probability(pt.f.adverse_impact, opt.rule);
}

} // namespace

predictor_set design_predictors(const design_options &opt) {
  const int k = static_cast<int>(opt.predictors.size());
  predictor_set p{Eigen::MatrixXd(k, k), Eigen::VectorXd(k), Eigen::VectorXd(k)};
  for (int i = 0; i < k; ++i) {
    p.r(i) = opt.predictors[i].validity;
    p.g(i) = design_separation(opt, opt.predictors[i].esize);
    for (int j = 0; j < k; ++j)
      p.R(i, j) = opt.correlations[i][j];
  }
  return p;
}

int design_nhire(const design_options &o) {
  if (o.nhire) return *o.nhire;
  return std::clamp(static_cast<int>(std::lround(*o.selection_ratio * o.ntot)), 1, o.ntot);
}

double design_minority_share(const design_options &opt) {
  return opt.minority ? static_cast<double>(*opt.minority) / opt.ntot : *opt.prop;
}

double design_esize(const design_options &opt, double separation) {
  if (opt.matrix == design_matrix::within) return separation;
  return esize_of_point_biserial(separation, design_minority_share(opt));
}

double design_separation(const design_options &opt, double esize) {
  if (opt.matrix == design_matrix::within) return esize;
  return point_biserial(esize, design_minority_share(opt));
}

std::vector<double> comparison_weights(const design_options &opt, const design_comparison &c) {
  if (!c.weights.empty()) return c.weights;
  const std::size_t k = opt.predictors.size();
  if (c.name == "unit") return std::vector<double>(k, 1.0);
  const predictor_set p = design_predictors(opt);
  const Eigen::VectorXd w = p.R.llt().solve(p.r);
  return std::vector<double>(w.data(), w.data() + w.size());
}

std::optional<std::string> design_refusal(const design_options &opt) {
  if (auto why = predictors_refusal(opt)) return why;
  if (auto why = selection_refusal(opt)) return why; // the minority share is needed below
  if (auto why = matrix_refusal(opt)) return why;
  if (auto why = choice_refusal(opt)) return why;
  if (auto why = comparison_refusal(opt)) return why;
  problem p{opt.ntot, design_nhire(opt), 0.0, design_minority_share(opt)};
  solve_options so;
  so.method = opt.method;
  so.alpha = opt.alpha;
  so.minority = opt.minority.value_or(-1);
  return figures_refusal(p, so);
}

design_result solve_design(const design_options &opt) {
  design_result res;
  res.minority_share = design_minority_share(opt);
  res.selection = {opt.ntot, design_nhire(opt), 0.0, res.minority_share};
  res.selection_ratio = static_cast<double>(res.selection.nhire) / opt.ntot;
  res.solve.method = opt.method;
  res.solve.alpha = opt.alpha;
  res.solve.minority = opt.minority.value_or(-1);
  res.solve.threads = opt.threads;
  res.solve.cancel = opt.cancel;

  const predictor_set set = design_predictors(opt);
  const composite_front front(set, opt.weights == design_weights::nonnegative);
  evaluator eval{opt, set, res};
  const double least = design_esize(opt, separation_of(set, front.least_adverse()));
  const double most = design_esize(opt, separation_of(set, front.most_valid()));
  // The composite of greatest validity among those of composite esize e.
  const auto point_at = [&](double e) -> Eigen::VectorXd {
    if (e >= least) return front.least_adverse();
    if (e <= most) return front.most_valid();
    return front.at(design_separation(opt, e)).value_or(front.most_valid());
  };

  const bool one = opt.points == 1 || !(least > most);
  const int count = one ? 1 : opt.points;
  for (int j = 0; j < count && res.error.empty(); ++j) {
    if (one) {
      res.front.push_back(eval.point(front.most_valid()));
      continue;
    }
    const double e = j == count - 1 ? most : least + (most - least) * j / (count - 1);
    res.front.push_back(eval.point(point_at(e)));
  }
  for (const design_comparison &c : opt.compare) {
    if (!res.error.empty()) break;
    const std::vector<double> w = comparison_weights(opt, c);
    res.compared.push_back(eval.point(
        Eigen::Map<const Eigen::VectorXd>(w.data(), static_cast<Eigen::Index>(w.size()))));
    res.compared.back().name = c.name;
  }
  if (!opt.max_risk && !opt.min_impact_ratio)
    res.chosen_reason = "none asked for: neither max_risk nor min_impact_ratio was given";
  if (!res.error.empty() || (!opt.max_risk && !opt.min_impact_ratio)) return res;

  const design_point &first = res.front.front(), &last = res.front.back();
  if (opt.max_risk) {
    const double bound = *opt.max_risk;
    const std::string rule = "the " + opt.rule + " rule";
    if (risk(opt, last) <= bound) {
      res.chosen = last;
      res.chosen_reason = "the most valid composite: " + rule + " flags it with probability " +
                          printed("%.6f", risk(opt, last)) + printed(", within %g", bound);
      return res;
    }
    if (risk(opt, first) > bound) {
      res.chosen_reason = "none: even the least adverse composite (esize " +
                          printed("%.6f", first.esize) + ") is flagged by " + rule +
                          " with probability " + printed("%.6f", risk(opt, first)) +
                          printed(", above %g", bound);
      return res;
    }
    // The last point of the front within the bound, and the next beyond it;
    // then bisection on the esize between them.
    std::size_t j = 0;
    while (j + 1 < res.front.size() && risk(opt, res.front[j + 1]) <= bound)
      ++j;
    design_point within = res.front[j];
    double ok = res.front[j].esize, beyond = res.front[j + 1].esize;
    for (int i = 0; i < risk_bisections && res.error.empty(); ++i) {
      const double mid = ok + (beyond - ok) / 2.0;
      design_point pt = eval.point(point_at(mid));
      if (risk(opt, pt) <= bound) {
        ok = mid;
        within = std::move(pt);
      } else {
        beyond = mid;
      }
    }
    res.chosen = within;
    res.chosen_reason = "the most valid composite that " + rule + " flags with probability " +
                        printed("at most %g", bound) + " (" + printed("%.6f", risk(opt, within)) +
                        ")";
    return res;
  }

  const double bound = *opt.min_impact_ratio;
  double e = res.selection_ratio >= 1.0
                 ? (bound <= 1.0 ? -INFINITY : INFINITY)
                 : esize_for_impact_ratio(bound, res.minority_share, res.selection_ratio);
  if (e <= most) {
    res.chosen = last;
    res.chosen_reason = "the most valid composite: its population impact ratio " +
                        printed("%.6f", last.population_impact_ratio) +
                        printed(" is at least %g", bound);
    return res;
  }
  if (e > least) {
    res.chosen_reason = "none: even the least adverse composite's population impact ratio, " +
                        printed("%.6f", first.population_impact_ratio) +
                        printed(", is below %g", bound);
    return res;
  }
  // The weights at e give back an esize a rounding away from it: step up
  // until the ratio holds.
  design_point pt = eval.point(point_at(e));
  for (int i = 0; i < impact_ratio_steps && pt.population_impact_ratio < bound && e < least; ++i) {
    e = std::min(least, e + 1e-12 * std::max(1.0, std::abs(e)));
    pt = eval.point(point_at(e));
  }
  res.chosen = pt;
  res.chosen_reason =
      "the most valid composite whose population impact ratio is " + printed("at least %g", bound);
  return res;
}

int design_problems(const design_options &opt) {
  const int choice = opt.max_risk           ? risk_bisections
                     : opt.min_impact_ratio ? 1 + impact_ratio_steps
                                            : 0;
  return opt.points + static_cast<int>(opt.compare.size()) + choice;
}
