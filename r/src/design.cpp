// Designs from R: the predictors, the matrix and the options in, the front,
// the compared weights and the chosen point out as plain columns that
// R/design.R turns into data frames, and the command line's JSON document.
#include <Rcpp.h>

#include <algorithm>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "torvan.h"

namespace {

template <class V> auto given(const V &v) -> std::optional<typename V::stored_type> {
  if (v.size() == 0) return std::nullopt;
  return v[0];
}

// One column per figure and per predictor's weight.
Rcpp::List point_columns(const design_options &opt, const std::vector<design_point> &pts) {
  const auto n = static_cast<R_xlen_t>(pts.size());
  Rcpp::CharacterVector name(n);
  Rcpp::NumericVector validity(n), esize(n), ratio(n), ai(n), undefined(n), above(n);
  const std::vector<std::string> rules = flagging_rules();
  std::vector<Rcpp::NumericVector> rule_p(rules.size(), Rcpp::NumericVector(0));
  std::vector<Rcpp::NumericVector> weight(opt.predictors.size(), Rcpp::NumericVector(0));
  for (auto &v : rule_p)
    v = Rcpp::NumericVector(n);
  for (auto &v : weight)
    v = Rcpp::NumericVector(n);
  for (R_xlen_t i = 0; i < n; ++i) {
    const design_point &p = pts[i];
    name[i] = p.name;
    validity[i] = p.validity;
    esize[i] = p.esize;
    ratio[i] = p.population_impact_ratio;
    ai[i] = p.population_ai;
    undefined[i] = p.f.summary.p_undefined;
    above[i] = p.f.summary.p_above;
    for (std::size_t k = 0; k < rules.size(); ++k)
      rule_p[k][i] = rule_probability(p.f.adverse_impact, rules[k]);
    for (std::size_t k = 0; k < weight.size(); ++k)
      weight[k][i] = p.weights[k];
  }
  Rcpp::List out = Rcpp::List::create(
      Rcpp::Named("name") = name, Rcpp::Named("validity") = validity, Rcpp::Named("esize") = esize,
      Rcpp::Named("population_impact_ratio") = ratio, Rcpp::Named("population_ai") = ai,
      Rcpp::Named("p_undefined") = undefined, Rcpp::Named("p_above_1_25") = above);
  for (std::size_t k = 0; k < rules.size(); ++k)
    out[rules[k]] = rule_p[k];
  for (std::size_t k = 0; k < weight.size(); ++k)
    out["weight_" + opt.predictors[k].name] = weight[k];
  return out;
}

} // namespace

// [[Rcpp::export(rng = false)]]
Rcpp::List design_points(Rcpp::CharacterVector names, Rcpp::NumericVector validity,
                         Rcpp::NumericVector esize, Rcpp::NumericMatrix correlations,
                         std::string matrix, std::string weights, int ntot,
                         Rcpp::IntegerVector nhire, Rcpp::NumericVector selection_ratio,
                         Rcpp::NumericVector prop, Rcpp::IntegerVector minority, double alpha,
                         std::string method, int points, Rcpp::NumericVector max_risk,
                         std::string rule, Rcpp::NumericVector min_impact_ratio,
                         Rcpp::CharacterVector compare_names, Rcpp::List compare_weights,
                         int threads) {
  const auto refused = [](const std::string &why) {
    return Rcpp::List::create(Rcpp::Named("error") = why);
  };
  design_options o;
  for (R_xlen_t i = 0; i < names.size(); ++i)
    o.predictors.push_back({Rcpp::as<std::string>(names[i]), validity[i], esize[i]});
  o.correlations.assign(correlations.nrow(), std::vector<double>(correlations.ncol()));
  for (int i = 0; i < correlations.nrow(); ++i)
    for (int j = 0; j < correlations.ncol(); ++j)
      o.correlations[i][j] = correlations(i, j);
  if (matrix != "within" && matrix != "overall")
    return refused("matrix must be within or overall, not '" + matrix + "'");
  o.matrix = matrix == "within" ? design_matrix::within : design_matrix::overall;
  if (weights != "nonnegative" && weights != "free")
    return refused("weights must be nonnegative or free, not '" + weights + "'");
  o.weights = weights == "free" ? design_weights::free : design_weights::nonnegative;
  o.ntot = ntot;
  o.nhire = given(nhire);
  o.selection_ratio = given(selection_ratio);
  o.prop = given(prop);
  o.minority = given(minority);
  o.alpha = alpha;
  const auto m = method_named(method);
  if (!m) return refused("method must be nested or direct, not '" + method + "'");
  o.method = *m;
  o.points = points;
  o.max_risk = given(max_risk);
  o.rule = rule;
  o.min_impact_ratio = given(min_impact_ratio);
  for (R_xlen_t i = 0; i < compare_names.size(); ++i)
    o.compare.push_back({Rcpp::as<std::string>(compare_names[i]),
                         Rcpp::as<std::vector<double>>(compare_weights[i])});
  o.threads =
      threads > 0 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  if (const auto why = design_refusal(o)) return refused(*why);
  const design_result r = solve_design(o);
  if (!r.error.empty()) return refused(r.error);
  Rcpp::List out =
      Rcpp::List::create(Rcpp::Named("front") = point_columns(o, r.front),
                         Rcpp::Named("compared") = point_columns(o, r.compared),
                         Rcpp::Named("chosen_reason") = r.chosen_reason,
                         Rcpp::Named("json") = design_json_text(o, r, {o.threads, 0.0}, -1));
  if (r.chosen) out["chosen"] = point_columns(o, {*r.chosen});
  return out;
}
