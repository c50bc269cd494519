// Planning: the single problem of every size of a range, computed in
// parallel across sizes, and the sizes at which each rule reaches a target.
#include "engine/plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/figures.h"
#include "engine/ordered.h"
#include "engine/rules.h"
#include "engine/shortest.h"

namespace {

// Rows a plan computes at most: far beyond a useful curve, far below the
// memory their figures would take.
constexpr long long most_rows = 100000;

std::string printed(const char *format, double v) {
  char buf[128];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// prop ntot carries prop's decimal rounding into the product: 0.3 x 36 is
// 10.799999999999999 in binary. Fifteen significant digits, every one a
// double holds of a decimal, give the 10.8 meant.
double to_15_digits(double v) {
  return std::strtod(printed("%.15g", v).c_str(), nullptr);
}

long long row_count(const ntot_range &r) {
  return (static_cast<long long>(r.to) - r.from) / r.step + 1;
}

std::optional<std::string> pool_refusal(const plan_options &o) {
  if (o.prop && o.minority_share) return "prop and minority_share exclude each other: give one";
  if (!o.prop && !o.minority_share) return "prop or minority_share is required";
  if (o.prop && !(*o.prop > 0.0 && *o.prop < 1.0))
    return "prop = " + shortest(*o.prop) + " must lie strictly between 0 and 1";
  if (o.minority_share && !(*o.minority_share >= 0.0 && *o.minority_share <= 1.0))
    return "minority_share = " + shortest(*o.minority_share) + " must lie between 0 and 1";
  return std::nullopt;
}

std::optional<std::string> hires_refusal(const plan_options &o) {
  if (o.selection_ratio && o.nhire) return "selection_ratio and nhire exclude each other: give one";
  if (!o.selection_ratio && !o.nhire) return "selection_ratio or nhire is required";
  if (o.selection_ratio && !(*o.selection_ratio > 0.0 && *o.selection_ratio <= 1.0))
    return "selection_ratio = " + shortest(*o.selection_ratio) + " must lie above 0 and at most 1";
  if (o.nhire && *o.nhire < 0) return "nhire = " + std::to_string(*o.nhire) + " must be at least 0";
  return std::nullopt;
}

std::optional<std::string> range_refusal(const plan_options &o) {
  if (!o.ntot) return "ntot is required";
  const ntot_range &r = *o.ntot;
  char buf[64];
  if (r.step != 1)
    std::snprintf(buf, sizeof buf, "ntot = %d:%d:%d", r.from, r.to, r.step);
  else
    std::snprintf(buf, sizeof buf, "ntot = %d:%d", r.from, r.to);
  const std::string text = buf;
  if (r.from < 2) return text + " starts below 2, the fewest applicants a problem can have";
  if (r.from > r.to)
    return text + " runs backwards: " + std::to_string(r.from) + " is above " +
           std::to_string(r.to);
  if (r.step < 1)
    return text + " has a step of " + std::to_string(r.step) + "; it must be at least 1";
  if (row_count(r) > most_rows)
    return text + " has " + std::to_string(row_count(r)) + " sizes; a plan takes at most " +
           std::to_string(most_rows) + " (use a larger step)";
  return std::nullopt;
}

std::optional<std::string> rule_refusal(const plan_options &o) {
  const std::vector<std::string> known = flagging_rules();
  for (const std::string &name : o.rules)
    if (std::find(known.begin(), known.end(), name) == known.end()) {
      std::string why = "rule '" + name + "' is not one of ";
      for (const std::string &k : known) {
        if (&k != &known.front()) why += ", ";
        why += k;
      }
      return why;
    }
  return std::nullopt;
}

} // namespace

std::optional<std::string> plan_refusal(const plan_options &o) {
  if (!o.esize) return "esize is required";
  if (!std::isfinite(*o.esize)) return printed("esize = %g must be a finite number", *o.esize);
  if (auto why = pool_refusal(o)) return why;
  if (auto why = hires_refusal(o)) return why;
  if (auto why = range_refusal(o)) return why;
  if (!(o.alpha > 0.0 && o.alpha < 1.0))
    return "alpha = " + shortest(o.alpha) + " must lie strictly between 0 and 1";
  if (!(o.target > 0.0 && o.target < 1.0))
    return "target = " + shortest(o.target) + " must lie strictly between 0 and 1";
  if (auto why = rule_refusal(o)) return why;
  if (o.threads < 1) return "threads = " + std::to_string(o.threads) + " must be at least 1";
  return std::nullopt;
}

std::vector<std::string> plan_rules(const plan_options &opt) {
  std::vector<std::string> out;
  for (const std::string &name : flagging_rules())
    if (opt.rules.empty() || std::find(opt.rules.begin(), opt.rules.end(), name) != opt.rules.end())
      out.push_back(name);
  return out;
}

bool row_computed(const plan_row &r) {
  return r.error.empty();
}

plan_point plan_point_at(const plan_options &opt, int ntot) {
  plan_point pt;
  pt.p.ntot = ntot;
  pt.p.esize = *opt.esize;
  pt.p.prop = opt.prop.value_or(0.0);
  pt.p.nhire = opt.nhire ? *opt.nhire
                         : std::max(1, static_cast<int>(std::lround(*opt.selection_ratio * ntot)));
  pt.opt.method = opt.method;
  pt.opt.alpha = opt.alpha;
  pt.opt.cancel = opt.cancel;
  if (opt.minority_share)
    pt.opt.minority = static_cast<int>(std::lround(*opt.minority_share * ntot));
  return pt;
}

std::vector<plan_found> found_sizes(const std::vector<plan_row> &rows,
                                    const std::vector<std::string> &rules, double target) {
  std::vector<plan_found> out;
  for (const std::string &rule : rules) {
    plan_found f{rule, std::nullopt, std::nullopt};
    for (const plan_row &r : rows) {
      const bool reached = row_computed(r) && rule_probability(r.f.adverse_impact, rule) >= target;
      if (reached && !f.first) f.first = r.ntot;
      if (reached && !f.stays) f.stays = r.ntot;
      if (!reached) f.stays.reset();
    }
    out.push_back(f);
  }
  return out;
}

std::vector<double> cumulative_work(const ntot_range &range) {
  const long long rows = row_count(range);
  std::vector<double> out(static_cast<std::size_t>(rows) + 1, 0.0);
  for (long long k = 0; k < rows; ++k) {
    const double ntot = static_cast<double>(range.from) + static_cast<double>(k) * range.step;
    out[static_cast<std::size_t>(k) + 1] =
        out[static_cast<std::size_t>(k)] + 1.0 + std::pow(ntot / 2000.0, 1.5);
  }
  return out;
}

plan_result solve_plan(const plan_options &opt) {
  const ntot_range &range = *opt.ntot;
  const int total = static_cast<int>(row_count(range));
  // Many rows: one per worker, each on one thread. Few: their pools share the
  // threads left over. Either way the figures are those of one thread.
  const int workers = std::max(1, std::min(opt.threads, total));
  const int pool_threads = std::max(1, opt.threads / workers);
  const auto cancelled = [&] { return opt.cancel && opt.cancel->load(std::memory_order_relaxed); };

  plan_result res;
  const auto work = [&](int, int i) {
    plan_row row;
    row.ntot = range.from + i * range.step;
    plan_point pt = plan_point_at(opt, row.ntot);
    pt.opt.threads = pool_threads;
    row.nhire = pt.p.nhire;
    row.minority = pt.opt.minority;
    row.expected_minority =
        pt.opt.minority >= 0 ? pt.opt.minority : to_15_digits(pt.p.prop * row.ntot);
    if (cancelled()) {
      row.f.status.cancelled = true;
    } else if (const auto why = figures_refusal(pt.p, pt.opt)) {
      row.error = *why;
    } else {
      row.f = solve_rule_figures(pt.p, pt.opt);
      if (!completed(row.f.status) && !row.f.status.cancelled)
        row.error = gave_up_reason(row.f.status);
      else if (const auto refused = check_refusal(row.f.check))
        row.error = *refused;
    }
    return row;
  };
  const auto take = [&](int, plan_row &row) {
    if (row.f.status.cancelled) {
      res.cancelled = true;
      return false;
    }
    res.rows.push_back(std::move(row));
    return true;
  };
  const auto progress = [&](int finished) {
    if (opt.progress) opt.progress(finished, total);
  };
  ordered_parallel<plan_row>(total, workers, work, take, progress);
  if (res.cancelled) {
    res.rows.clear();
    return res;
  }
  res.found = found_sizes(res.rows, plan_rules(opt), opt.target);
  return res;
}
