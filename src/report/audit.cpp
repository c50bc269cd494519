// The audit's JSON documents and text pages.
#include "report/audit.h"

#include <cstdint>
#include <cstdio>

#include <gsl/gsl_cdf.h>

#include "report/export.h"
#include "report/page.h"

namespace {

using json = nlohmann::ordered_json;

constexpr std::size_t page_width = 80;

// A figure, or null and its reason beside it.
template <class T> void put(json &o, const std::string &name, const maybe<T> &m) {
  if (m.value) {
    o[name] = *m.value;
  } else {
    o[name] = nullptr;
    o[name + "_reason"] = m.why;
  }
}

// The totals of several tables in 64 bits: a thousand events of 1e5
// applicants pass the range of int.
struct totals {
  std::int64_t n1 = 0, x = 0, n0 = 0, y = 0;
};
totals totals_of(const selection_counts &c) {
  return {c.minority_applicants, c.minority_hires, c.majority_applicants, c.majority_hires};
}
totals totals_of(const std::vector<selection_event> &events) {
  totals t;
  for (const selection_event &e : events) {
    t.n1 += e.counts.minority_applicants;
    t.x += e.counts.minority_hires;
    t.n0 += e.counts.majority_applicants;
    t.y += e.counts.majority_hires;
  }
  return t;
}

json observed(const totals &t) {
  return {{"minority_applicants", t.n1},
          {"minority_hires", t.x},
          {"majority_applicants", t.n0},
          {"majority_hires", t.y}};
}

json esize_json(const implied_esize &e, double alpha) {
  json o{{"level", 1.0 - alpha}};
  put(o, "mle", e.mle);
  put(o, "lower", e.lower);
  put(o, "upper", e.upper);
  return o;
}

json header(double alpha) {
  return {
      {"program", "torvan"}, {"version", TORVAN_VERSION}, {"command", "audit"}, {"alpha", alpha}};
}

// Everything but the header: the part an event of several shares.
json body(const selection_audit &a) {
  json o;
  o["observed"] = observed(totals_of(a.counts));
  json rates;
  put(rates, "minority", a.minority_rate);
  put(rates, "majority", a.majority_rate);
  rates["pooled"] = a.pooled_rate;
  o["rates"] = rates;
  put(o, "impact_ratio", a.impact_ratio);
  put(o, "ai", a.ai);
  json ff{{"flags", a.four_fifths}, {"one_person_flags", a.four_fifths_one_person}};
  put(ff, "hires_to_pass", a.hires_to_pass);
  o["four_fifths"] = ff;
  o["shortfall"] = a.shortfall;
  json z;
  put(z, "z", a.z);
  put(z, "p_lower", a.z_p_lower);
  put(z, "p_two_sided", a.z_p_two_sided);
  z["flags"] = a.z_flags;
  o["z_test"] = z;
  o["fisher_exact"] = {{"p_lower", a.fisher_p_lower},
                       {"p_two_sided", a.fisher_p_two_sided},
                       {"p_mid", a.fisher_p_mid},
                       {"flags", a.fisher_flags}};
  json zir;
  put(zir, "z", a.z_ir);
  put(zir, "p_lower", a.z_ir_p_lower);
  zir["flags"] = a.z_ir_flags;
  o["z_ir"] = zir;
  json ci{{"level", 1.0 - a.alpha}};
  put(ci, "lower", a.impact_ratio_lower);
  put(ci, "upper", a.impact_ratio_upper);
  o["impact_ratio_ci"] = ci;
  json esize = esize_json(a.esize, a.alpha);
  put(esize, "probit", a.esize.probit);
  o["implied_esize"] = esize;
  return o;
}

// ---- The page -------------------------------------------------------------

std::string p_value(double v) {
  return printed("%.6g", v);
}
std::string four(double v) {
  return shown(v, 4);
}
using formatter = std::string (*)(double);
std::string yes_no(bool b) {
  return b ? "yes" : "no";
}

// A reason, indented under the figure it explains, in words wrapped to the page.
std::string reason_lines(const std::string &why) {
  return wrapped(why, 6, page_width);
}

// A page being written. A reason is given once, under the first figure it
// leaves without a value; the next figures it leaves so say "as above".
struct page {
  std::string text;
  std::string last_why;

  void add(const std::string &s) { text += s; }
  void why(const std::string &w) {
    text += reason_lines(w);
    last_why = w;
  }
  void undefined(const std::string &label, const std::string &w) {
    if (w == last_why) {
      add(dotted_line(label, "undefined, as above"));
      return;
    }
    add(dotted_line(label, "undefined"));
    why(w);
  }
  void figure(const std::string &label, const maybe<double> &m, formatter format) {
    if (m.value)
      add(dotted_line(label, format(*m.value)));
    else
      undefined(label, m.why);
  }
  // "lower to upper", an end without a value "unbounded" with its reason
  // below; both without values for one reason, undefined.
  void interval(const std::string &label, const maybe<double> &lower, const maybe<double> &upper,
                formatter format) {
    if (!lower.value && !upper.value && lower.why == upper.why) {
      undefined(label, lower.why);
      return;
    }
    const auto end = [&](const maybe<double> &m) {
      return m.value ? format(*m.value) : std::string("unbounded");
    };
    add(dotted_line(label, end(lower) + " to " + end(upper)));
    for (const maybe<double> *m : {&lower, &upper})
      if (!m->value && m->why != last_why) why(m->why);
  }
};

// "95% interval"; with as many digits as alpha needs, up to ten
// (99.99999999% at 1e-10), and past them as 1 - alpha: never "100%".
std::string level_label(double alpha, const std::string &what) {
  const std::string percent = printed("%.10g", 100.0 * (1.0 - alpha));
  if (percent == "100") return "1 - " + printed("%g", alpha) + " " + what;
  return percent + "% " + what;
}

std::string counts_row(const char *group, std::int64_t applicants, std::int64_t hired,
                       const std::string &rate) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "  %-20s %12lld %12lld %16s\n", group,
                static_cast<long long>(applicants), static_cast<long long>(hired), rate.c_str());
  return buf;
}

void counts_table(page &pg, const totals &t, const maybe<double> &r1, const maybe<double> &r0,
                  double pooled) {
  const auto rate = [](const maybe<double> &r) {
    return r.value ? printed("%.6f", *r.value) : std::string("undefined");
  };
  pg.add("                         applicants        hired   selection rate\n");
  pg.add(counts_row("minority", t.n1, t.x, rate(r1)));
  if (!r1.value) pg.why(r1.why);
  pg.add(counts_row("majority", t.n0, t.y, rate(r0)));
  if (!r0.value) pg.why(r0.why);
  pg.add(counts_row("all", t.n1 + t.n0, t.x + t.y, printed("%.6f", pooled)));
}

void tests_part(page &pg, const selection_audit &a) {
  const std::string flag_z =
      "flags adverse impact: z <= " + four(-gsl_cdf_ugaussian_Qinv(a.alpha / 2.0));
  pg.add("\nFour-fifths rule: minority rate below 4/5 of the majority's\n");
  pg.add(dotted_line("flags adverse impact", yes_no(a.four_fifths)));
  pg.add(dotted_line("flags even with one more minority hire", yes_no(a.four_fifths_one_person)));
  const std::string pass = "further minority hires until it does not flag";
  if (a.hires_to_pass.value)
    pg.add(dotted_line(pass, std::to_string(*a.hires_to_pass.value)));
  else
    pg.undefined(pass, a.hires_to_pass.why);

  pg.add("\nTwo-proportion Z test, pooled variance (alpha = " + printed("%g", a.alpha) + ")\n");
  pg.figure("z, negative when the minority's rate is lower", a.z, four);
  pg.figure("p, lower tail", a.z_p_lower, p_value);
  pg.figure("p, two-sided", a.z_p_two_sided, p_value);
  pg.add(dotted_line(flag_z, yes_no(a.z_flags)));

  const std::string x = std::to_string(a.counts.minority_hires);
  pg.add("\nFisher's exact test (X' the minority hires of a random selection)\n");
  pg.add(dotted_line("p, lower tail: P(X' <= " + x + ")", p_value(a.fisher_p_lower)));
  pg.add(dotted_line("p, two-sided", p_value(a.fisher_p_two_sided)));
  pg.add(dotted_line("mid-p: P(X' < " + x + ") + P(X' = " + x + ") / 2", p_value(a.fisher_p_mid)));
  pg.add(dotted_line("flags adverse impact: lower tail <= alpha/2", yes_no(a.fisher_flags)));

  pg.add("\nImpact-ratio Z test (Morris & Lobsenz, 2000)\n");
  pg.figure("z", a.z_ir, four);
  pg.figure("p, lower tail", a.z_ir_p_lower, p_value);
  pg.add(dotted_line(flag_z, yes_no(a.z_ir_flags)));
  if (a.z_ir_flags && a.counts.minority_hires == 0)
    pg.add(reason_lines("no minority hire: z falls without bound, so this test flags at any "
                        "alpha"));
  pg.interval(level_label(a.alpha, "interval of the impact ratio"), a.impact_ratio_lower,
              a.impact_ratio_upper, four);
}

void esize_lines(page &pg, const implied_esize &e, double alpha, const std::string &label) {
  pg.figure("maximum likelihood", e.mle, four);
  pg.interval(level_label(alpha, label), e.lower, e.upper, four);
}

void audit_part(page &pg, const selection_audit &a) {
  const selection_counts &c = a.counts;
  counts_table(pg, totals_of(c), a.minority_rate, a.majority_rate, a.pooled_rate);
  pg.add("\n");
  pg.figure("impact ratio: minority rate / majority rate", a.impact_ratio, four);
  pg.figure("AI ratio: majority rate / minority rate", a.ai, four);
  pg.add(dotted_line("shortfall: pooled-rate minority hires less actual", four(a.shortfall)));
  tests_part(pg, a);
  const int n = c.minority_applicants + c.majority_applicants;
  pg.add("\nImplied effect size: the minority's mean score less the majority's, in\n"
         "standard deviations, were the " +
         std::to_string(c.minority_hires + c.majority_hires) + " hired the best of these " +
         std::to_string(n) + " applicants\n");
  esize_lines(pg, a.esize, a.alpha, "exact interval");
  pg.figure("probit of the rates (large-sample value)", a.esize.probit, four);
}

// An event's name as the page may show it: control characters, which a
// terminal would act on (an escape sequence can rewrite the screen), as \xHH;
// those of UTF-8's C1 range (U+0080 to U+009F, two bytes) as \u0080 ... .
std::string visible(const std::string &name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
    char buf[8];
    if (c < 0x20 || c == 0x7f) {
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else if (c == 0xc2 && next >= 0x80 && next <= 0x9f) {
      std::snprintf(buf, sizeof buf, "\\u%04x", next);
      out += buf;
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// A heading cut to the page's width.
std::string heading(std::string text) {
  if (text.size() > page_width) {
    text.resize(page_width - 3);
    text += "...";
  }
  return text + '\n';
}

} // namespace

nlohmann::ordered_json audit_json(const selection_audit &a) {
  json doc = header(a.alpha);
  doc.update(body(a));
  return doc;
}

nlohmann::ordered_json events_json(const events_audit &e) {
  json doc = header(e.alpha);
  if (e.cancelled) {
    doc["cancelled"] = true;
    return doc;
  }
  json list = json::array();
  for (std::size_t i = 0; i < e.audits.size(); ++i) {
    json ev{{"event", e.events[i].name}};
    ev.update(body(e.audits[i]));
    list.push_back(ev);
  }
  doc["events"] = list;
  doc["total"] = observed(totals_of(e.events));
  const mantel_haenszel &m = e.mh;
  json mh;
  put(mh, "odds_ratio", m.odds_ratio);
  put(mh, "odds_ratio_lower", m.odds_ratio_lower);
  put(mh, "odds_ratio_upper", m.odds_ratio_upper);
  put(mh, "statistic", m.statistic);
  put(mh, "p_two_sided", m.p_two_sided);
  put(mh, "z", m.z);
  put(mh, "p_lower", m.p_lower);
  doc["mantel_haenszel"] = mh;
  json common = esize_json(e.common, e.alpha);
  common["events_used"] = e.events_informative;
  doc["common_implied_esize"] = common;
  return doc;
}

std::string audit_page(const selection_audit &a) {
  page pg;
  pg.add("TORVAN audit of an observed selection\n\n");
  audit_part(pg, a);
  return pg.text;
}

namespace {

// "1 event", "2 events".
std::string events_counted(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " event" : " events");
}

} // namespace

std::string events_page(const events_audit &e) {
  const std::string count = std::to_string(e.events.size());
  page pg;
  pg.add("TORVAN audit of " + events_counted(e.events.size()) + "\n");
  if (e.cancelled) return pg.text + "\nNot audited: the computation was cancelled.\n";
  for (std::size_t i = 0; i < e.audits.size(); ++i) {
    const std::string title = "Event " + std::to_string(i + 1) + " of " + count + ": ";
    pg.add("\n");
    pg.add(heading(title + visible(e.events[i].name)));
    pg.add("\n");
    pg.last_why.clear();
    audit_part(pg, e.audits[i]);
  }
  return pg.text + "\n" + events_together_page(e);
}

std::string events_together_page(const events_audit &e) {
  const std::string count = std::to_string(e.events.size());
  page pg;
  const totals t = totals_of(e.events);
  const auto rate = [](std::int64_t hired, std::int64_t applicants) {
    return applicants > 0
               ? maybe<double>{static_cast<double>(hired) / static_cast<double>(applicants), ""}
               : maybe<double>{std::nullopt, "no event has applicants of this group"};
  };
  pg.add(e.events.size() == 1 ? "The event's totals\n\n" : "All " + count + " events together\n\n");
  pg.last_why.clear();
  counts_table(pg, t, rate(t.x, t.n1), rate(t.y, t.n0),
               static_cast<double>(t.x + t.y) / static_cast<double>(t.n1 + t.n0));
  const mantel_haenszel &m = e.mh;
  pg.add("\nMantel-Haenszel common odds ratio: a minority applicant's odds of\n"
         "being hired over a majority applicant's\n");
  pg.figure("odds ratio", m.odds_ratio, four);
  pg.interval(level_label(e.alpha, "interval (Robins et al.)"), m.odds_ratio_lower,
              m.odds_ratio_upper, four);
  pg.add("\nCochran-Mantel-Haenszel test, no continuity correction\n");
  pg.figure("chi-square, 1 degree of freedom", m.statistic, four);
  pg.figure("z, negative when the minority is hired less", m.z, four);
  pg.figure("p, lower tail", m.p_lower, p_value);
  pg.figure("p, two-sided", m.p_two_sided, p_value);
  pg.add("\nCommon implied effect size, from the " +
         events_counted(static_cast<std::size_t>(e.events_informative)) +
         " whose outcome depends on it\n");
  esize_lines(pg, e.common, e.alpha, "exact interval (total hires)");
  return pg.text;
}

std::string audit_part_page(const selection_audit &a) {
  page pg;
  audit_part(pg, a);
  return pg.text;
}

nlohmann::ordered_json audit_body_json(const selection_audit &a) {
  return body(a);
}

std::string audit_json_text(const selection_audit &a, int indent) {
  return json_dump(audit_json(a), indent);
}
std::string events_json_text(const events_audit &e, int indent) {
  return json_dump(events_json(e), indent);
}
std::string audit_page_text(const selection_audit &a) {
  return audit_page(a);
}
std::string events_page_text(const events_audit &e) {
  return events_page(e);
}
