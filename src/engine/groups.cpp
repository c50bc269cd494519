// Audits of several groups: each against the reference, then all together.
#include "engine/groups.h"

#include <algorithm>
#include <map>
#include <set>

#include <gsl/gsl_cdf.h>

#include "engine/selection.h"
#include "engine/shortest.h"
#include "model/freeman_halton.h"
#include "model/holm.h"

namespace {

maybe<double> value(double v) {
  return {v, ""};
}
maybe<double> none(const std::string &why) {
  return {std::nullopt, why};
}

std::string count_is(const char *name, long long v) {
  return std::string(name) + " = " + std::to_string(v);
}

// The faults of the groups themselves, before a reference is chosen.
std::optional<groups_fault> counts_fault(const std::vector<group_counts> &groups, double alpha) {
  if (groups.size() < 2)
    return groups_fault{-1, -1,
                        "there must be at least two groups to compare, not " +
                            std::to_string(groups.size())};
  std::map<std::string, int> seen;
  long long applicants = 0, hires = 0;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    const group_counts &g = groups[i];
    const int at = static_cast<int>(i);
    std::string why;
    if (g.name.empty())
      why = "the group has no name";
    else if (g.applicants < 0)
      why = count_is("applicants", g.applicants) + " is negative";
    else if (g.hires < 0)
      why = count_is("hires", g.hires) + " is negative";
    else if (g.hires > g.applicants)
      why = count_is("hires", g.hires) + " is more than " + count_is("applicants", g.applicants);
    else if (g.applicants == 0)
      why = "the group has no applicants: its selection rate is undefined";
    if (!why.empty()) return groups_fault{at, -1, why};
    if (const auto [it, fresh] = seen.emplace(g.name, at); !fresh)
      return groups_fault{at, it->second, "the group is named twice"};
    applicants += g.applicants;
    hires += g.hires;
  }
  if (applicants > max_groups_applicants)
    return groups_fault{-1, -1,
                        count_is("applicants", applicants) + " in all is more than the " +
                            std::to_string(max_groups_applicants) +
                            " applicants an audit of groups takes"};
  if (hires == 0)
    return groups_fault{-1, -1,
                        "nobody was hired: the tests of equal selection rates are undefined"};
  if (hires == applicants)
    return groups_fault{-1, -1,
                        "everybody was hired: the tests of equal selection rates are undefined"};
  if (!(alpha > 0.0 && alpha < 1.0))
    return groups_fault{-1, -1,
                        "alpha = " + shortest(alpha) + " must lie strictly between 0 and 1"};
  return std::nullopt;
}

// Each pair with the reference must be a pair the two-group audit takes.
std::optional<groups_fault> pairs_fault(const std::vector<group_counts> &groups, std::size_t ref) {
  for (std::size_t i = 0; i < groups.size(); ++i) {
    const long long n = static_cast<long long>(groups[i].applicants) + groups[ref].applicants;
    if (i != ref && n > max_audit_applicants)
      return groups_fault{static_cast<int>(i), -1,
                          "with the reference, " + groups[ref].name + ", it has " +
                              std::to_string(n) + " applicants, more than the " +
                              std::to_string(max_audit_applicants) +
                              " a comparison of two groups takes"};
  }
  return std::nullopt;
}

// A group's counts, or its totals over events.
struct tally {
  std::string name;
  long long applicants, hires;
};

// Whether a's selection rate is above b's, in integers.
bool rate_above(const tally &a, const tally &b) {
  return static_cast<__int128>(a.hires) * b.applicants >
         static_cast<__int128>(b.hires) * a.applicants;
}

reference_choice choose(const std::vector<tally> &groups, const std::string &reference) {
  if (!reference.empty()) {
    for (std::size_t i = 0; i < groups.size(); ++i)
      if (groups[i].name == reference) return {i, "named as the reference"};
  }
  std::size_t best = 0;
  for (std::size_t i = 1; i < groups.size(); ++i)
    if (rate_above(groups[i], groups[best]) ||
        (!rate_above(groups[best], groups[i]) && groups[i].applicants > groups[best].applicants))
      best = i;
  std::string tied;
  bool larger = true;
  for (std::size_t i = 0; i < groups.size(); ++i)
    if (i != best && !rate_above(groups[best], groups[i])) {
      tied += (tied.empty() ? "" : ", ") + groups[i].name;
      larger = larger && groups[i].applicants < groups[best].applicants;
    }
  if (tied.empty()) return {best, "the highest selection rate"};
  return {best, "the highest selection rate, shared with " + tied +
                    (larger ? ": the larger group" : ": the first given of the largest")};
}

using p_of = maybe<double> (*)(const selection_audit &);
maybe<double> fixed_p(double p) {
  return value(p);
}
constexpr std::pair<p_of, maybe<double> holm_adjusted::*> adjusted_tests[] = {
    {[](const selection_audit &a) { return a.z_p_lower; }, &holm_adjusted::z_p_lower},
    {[](const selection_audit &a) { return a.z_p_two_sided; }, &holm_adjusted::z_p_two_sided},
    {[](const selection_audit &a) { return fixed_p(a.fisher_p_lower); },
     &holm_adjusted::fisher_p_lower},
    {[](const selection_audit &a) { return fixed_p(a.fisher_p_two_sided); },
     &holm_adjusted::fisher_p_two_sided},
    {[](const selection_audit &a) { return fixed_p(a.fisher_p_mid); },
     &holm_adjusted::fisher_p_mid},
    {[](const selection_audit &a) { return a.z_ir_p_lower; }, &holm_adjusted::z_ir_p_lower},
};

// Each test's p-values adjusted across the comparisons.
void adjust(groups_audit &g) {
  for (const auto &[p, field] : adjusted_tests) {
    std::vector<std::optional<double>> ps;
    std::vector<std::string> whys;
    for (const group_result &r : g.groups) {
      const maybe<double> m = r.versus ? p(*r.versus) : none("the reference group");
      ps.push_back(r.versus ? m.value : std::nullopt);
      whys.push_back(m.why);
    }
    const std::vector<std::optional<double>> adjusted = holm(ps);
    for (std::size_t i = 0; i < g.groups.size(); ++i)
      g.groups[i].holm.*field = {adjusted[i], adjusted[i] ? "" : whys[i]};
  }
}

void overall_tests(groups_audit &g, const std::atomic<bool> *cancel) {
  const double n = static_cast<double>(g.applicants), h = static_cast<double>(g.hires);
  double chi = 0.0;
  std::vector<int> sizes, hired;
  for (const group_result &r : g.groups) {
    const double ni = r.counts.applicants, xi = r.counts.hires;
    const double e1 = ni * h / n, e0 = ni * (n - h) / n;
    chi += (xi - e1) * (xi - e1) / e1 + ((ni - xi) - e0) * ((ni - xi) - e0) / e0;
    sizes.push_back(r.counts.applicants);
    hired.push_back(r.counts.hires);
  }
  g.chi_square = chi;
  g.df = static_cast<int>(g.groups.size()) - 1;
  g.chi_square_p = gsl_cdf_chisq_Q(chi, g.df);
  const exact_test e = freeman_halton(sizes, hired, exact_work_bound, exact_path_bound, cancel);
  g.exact_work = e.work;
  if (cancel && cancel->load()) g.cancelled = true;
  g.exact_p = e.p ? value(*e.p)
                  : none("not computed: the exact test of this table needs more than " +
                         std::to_string(exact_work_bound) +
                         " steps (a few seconds); Pearson's chi-square stands for it");
}

} // namespace

std::optional<groups_fault> groups_fault_of(const std::vector<group_counts> &groups,
                                            const std::string &reference, double alpha) {
  if (auto f = counts_fault(groups, alpha)) return f;
  if (!reference.empty() && std::none_of(groups.begin(), groups.end(), [&](const group_counts &g) {
        return g.name == reference;
      }))
    return groups_fault{-1, -1, "the reference '" + reference + "' is not one of the groups"};
  return pairs_fault(groups, choose_reference(groups, reference).index);
}

reference_choice choose_reference(const std::vector<group_counts> &groups,
                                  const std::string &reference) {
  std::vector<tally> t(groups.size());
  std::transform(groups.begin(), groups.end(), t.begin(), [](const group_counts &g) {
    return tally{g.name, g.applicants, g.hires};
  });
  return choose(t, reference);
}

std::optional<std::string> groups_refusal(const std::vector<group_counts> &groups,
                                          const std::string &reference, double alpha) {
  const auto f = groups_fault_of(groups, reference, alpha);
  if (!f) return std::nullopt;
  if (f->group < 0) return f->why;
  const std::string at = "group " + std::to_string(f->group + 1) + " (" +
                         groups[static_cast<std::size_t>(f->group)].name + "): ";
  if (f->repeats >= 0)
    return at + f->why + " (first as group " + std::to_string(f->repeats + 1) + ")";
  return at + f->why;
}

groups_audit audit_groups(const std::vector<group_counts> &groups, const std::string &reference,
                          double alpha, const std::atomic<bool> *cancel) {
  groups_audit g;
  g.alpha = alpha;
  const reference_choice ref = choose_reference(groups, reference);
  g.reference = ref.index;
  g.reference_why = ref.why;
  for (const group_counts &c : groups) {
    g.applicants += c.applicants;
    g.hires += c.hires;
  }
  g.pooled_rate = static_cast<double>(g.hires) / static_cast<double>(g.applicants);
  const group_counts &r = groups[ref.index];
  for (std::size_t i = 0; i < groups.size(); ++i) {
    const group_counts &c = groups[i];
    group_result res;
    res.counts = c;
    res.rate = static_cast<double>(c.hires) / c.applicants;
    // As the pair's audit forms it: N1 (X + Y) / (N1 + N0) - X.
    res.shortfall = static_cast<double>(c.applicants) * static_cast<double>(g.hires) /
                        static_cast<double>(g.applicants) -
                    c.hires;
    if (i == ref.index) {
      res.impact_ratio = r.hires > 0 ? value(1.0) : none("the reference's selection rate is 0");
      res.hires_to_pass = {0, ""};
    } else {
      bool cancelled = false;
      selection_audit a =
          audit_selection({c.applicants, c.hires, r.applicants, r.hires}, alpha, cancel, cancelled);
      if (cancelled) {
        g.cancelled = true;
        return g;
      }
      res.impact_ratio = a.impact_ratio;
      res.four_fifths = a.four_fifths;
      res.four_fifths_one_person = a.four_fifths_one_person;
      res.hires_to_pass = a.hires_to_pass;
      res.versus = std::move(a);
    }
    g.groups.push_back(std::move(res));
  }
  adjust(g);
  overall_tests(g, cancel);
  return g;
}

namespace {

std::string event_label(const std::vector<group_event> &events, std::size_t i) {
  return "event " + std::to_string(i + 1) +
         (events[i].name.empty() ? "" : " (" + events[i].name + ")");
}

// The groups of all events in the order first seen, with their totals.
std::vector<tally> totals_over(const std::vector<group_event> &events) {
  std::vector<tally> t;
  std::map<std::string, std::size_t> at;
  for (const group_event &e : events)
    for (const group_counts &g : e.groups) {
      const auto [it, fresh] = at.emplace(g.name, t.size());
      if (fresh) t.push_back({g.name, 0, 0});
      t[it->second].applicants += g.applicants;
      t[it->second].hires += g.hires;
    }
  return t;
}

std::size_t index_of(const std::vector<group_counts> &groups, const std::string &name) {
  for (std::size_t i = 0; i < groups.size(); ++i)
    if (groups[i].name == name) return i;
  return groups.size();
}

reference_choice events_reference(const std::vector<group_event> &events,
                                  const std::string &reference) {
  reference_choice r = choose(totals_over(events), reference);
  if (reference.empty()) r.why += " over all events together";
  return r;
}

} // namespace

std::optional<std::string> group_events_refusal(const std::vector<group_event> &events,
                                                const std::string &reference, double alpha) {
  if (events.empty()) return std::string("there are no events to audit");
  for (std::size_t i = 0; i < events.size(); ++i)
    if (counts_fault(events[i].groups, alpha))
      return event_label(events, i) + ": " + *groups_refusal(events[i].groups, "", alpha);
  const std::vector<tally> all = totals_over(events);
  if (!reference.empty() &&
      std::none_of(all.begin(), all.end(), [&](const tally &t) { return t.name == reference; }))
    return "the reference '" + reference + "' is not one of the groups";
  const std::string ref = all[events_reference(events, reference).index].name;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const std::size_t r = index_of(events[i].groups, ref);
    if (r == events[i].groups.size())
      return event_label(events, i) + ": the reference, " + ref + ", is not among its groups" +
             (reference.empty() ? " (the highest selection rate over all events; name a "
                                  "reference present in every event)"
                                : "");
    if (pairs_fault(events[i].groups, r))
      return event_label(events, i) + ": " + *groups_refusal(events[i].groups, ref, alpha);
  }
  return std::nullopt;
}

group_events_audit audit_group_events(const std::vector<group_event> &events,
                                      const std::string &reference, double alpha,
                                      const std::atomic<bool> *cancel) {
  group_events_audit r;
  r.alpha = alpha;
  const std::vector<tally> all = totals_over(events);
  const reference_choice ref = events_reference(events, reference);
  r.reference = all[ref.index].name;
  r.reference_why = ref.why;
  for (const group_event &e : events) {
    groups_audit g = audit_groups(e.groups, r.reference, alpha, cancel);
    g.reference_why = r.reference_why;
    r.cancelled = g.cancelled;
    if (r.cancelled) return r;
    r.event_names.push_back(e.name);
    r.events.push_back(std::move(g));
  }
  for (const tally &t : all) {
    if (t.name == r.reference) continue;
    std::vector<selection_event> pairs;
    for (const group_event &e : events) {
      const std::size_t i = index_of(e.groups, t.name), j = index_of(e.groups, r.reference);
      if (i == e.groups.size()) continue;
      pairs.push_back(
          {e.name,
           {e.groups[i].applicants, e.groups[i].hires, e.groups[j].applicants, e.groups[j].hires}});
    }
    events_audit pair = audit_events(pairs, alpha, cancel);
    r.cancelled = pair.cancelled;
    if (r.cancelled) return r;
    r.across.push_back({t.name, std::move(pair)});
  }
  return r;
}
