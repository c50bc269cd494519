// The summary page.
#include "report/summary.h"

#include "report/page.h"
#include "report/rule_names.h"

namespace {

std::string prob(double v) {
  return fixed(v, 12);
}

std::string problem_part(const problem &p, const solve_options &opt) {
  std::string out = "Problem: " + std::to_string(p.ntot) + " applicants, " +
                    std::to_string(p.nhire) + " hired, effect size " + shown(p.esize, 6) + "\n";
  if (opt.minority >= 0)
    out += "Pool:    known, " + std::to_string(opt.minority) + " minority and " +
           std::to_string(p.ntot - opt.minority) + " majority applicants\n";
  else
    out += "Pool:    binomial, minority proportion " + printed("%.6f", p.prop) +
           " in the population\n";
  out += std::string("Method:  ") + method_name(opt.method) + "\n";
  return out;
}

std::string distribution_part(const figures &f) {
  const ai_summary &m = f.summary;
  const audit &a = f.adverse_impact;
  std::string out = "\nAI ratio = majority selection rate / minority selection rate\n";
  out += dotted_line("mean", fixed(m.mean, 6));
  out += dotted_line("variance", fixed(m.var, 6));
  out += dotted_line("standard deviation", fixed(m.sd, 6));
  out += dotted_line("P(ratio undefined)", prob(m.p_undefined));
  out += dotted_line("  no minority hired", prob(a.undefined_no_minority_hired));
  out += dotted_line("  a group absent from the pool", prob(a.undefined_group_absent));
  out += "Percentiles of the defined ratio\n       5th      25th      50th      75th      95th\n";
  for (const double q : {m.p5, m.p25, m.p50, m.p75, m.p95}) {
    const std::string v = fixed(q, 4);
    out += std::string(v.size() < 10 ? 10 - v.size() : 0, ' ') + v;
  }
  out += '\n';
  out += dotted_line("P(AI > 1.25): minority rate below 4/5 of majority's", prob(m.p_above));
  out += dotted_line("P(AI < 0.8): majority rate below 4/5 of minority's", prob(m.p_below));
  return out;
}

std::string rules_part(const audit &a) {
  std::string out = "\nProbability that each rule flags adverse impact against the minority\n";
  out += printed("(alpha = %g for the significance tests)\n", a.alpha);
  for (const std::string &rule : flagging_rules())
    out += dotted_line(rule_title(rule), prob(rule_probability(a, rule)));
  out += dotted_line("four-fifths rule but not Z test", prob(a.four_fifths_not_z));
  out += dotted_line("Z test but not four-fifths rule", prob(a.z_not_four_fifths));
  out += dotted_line("no comparison (none or all hired, a group absent)", prob(a.no_comparison));
  return out;
}

} // namespace

std::string summary_page(const problem &p, const solve_options &opt, const figures &f) {
  std::string out = "TORVAN: sampling distribution of the adverse impact ratio\n\n";
  out += problem_part(p, opt);
  if (f.status.cancelled) return out + "\nNo distribution: the computation was cancelled.\n";
  if (f.status.gave_up)
    return out + "\nNo distribution: an integral could not be accepted (see standard error).\n"
                 "The direct method (--method direct) needs no such integral.\n";
  out += distribution_part(f);
  out += rules_part(f.adverse_impact);
  if (f.status.skipped_weight > 0.0)
    out +=
        printed("\nPools too improbable to compute: total weight %.3g.\n", f.status.skipped_weight);
  if (f.skipped_outcome_weight > 0.0)
    out +=
        printed("Outcomes too improbable to keep: total weight %.3g.\n", f.skipped_outcome_weight);
  return out;
}
