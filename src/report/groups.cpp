// The documents of the audits of several groups.
#include "report/groups.h"

#include <algorithm>
#include <cstdio>

#include "report/audit.h"
#include "report/export.h"
#include "report/page.h"

namespace {

using json = nlohmann::ordered_json;

template <class T> void put(json &o, const std::string &name, const maybe<T> &m) {
  if (m.value) {
    o[name] = *m.value;
  } else {
    o[name] = nullptr;
    o[name + "_reason"] = m.why;
  }
}

json header(double alpha) {
  return {
      {"program", "torvan"}, {"version", TORVAN_VERSION}, {"command", "audit"}, {"alpha", alpha}};
}

// The object `test` of a comparison's document with "<p>_holm" put after
// each p (and its reason) named in `adjusted`.
void add_holm(json &doc, const char *test,
              std::initializer_list<std::pair<const char *, const maybe<double> *>> adjusted) {
  json out;
  for (const auto &[key, v] : doc[test].items()) {
    out[key] = v;
    for (const auto &[p, m] : adjusted) {
      const std::string last = doc[test].contains(std::string(p) + "_reason")
                                   ? std::string(p) + "_reason"
                                   : std::string(p);
      if (key == last) put(out, std::string(p) + "_holm", *m);
    }
  }
  doc[test] = out;
}

json versus_json(const selection_audit &a, const holm_adjusted &h) {
  json doc = audit_body_json(a);
  add_holm(doc, "z_test", {{"p_lower", &h.z_p_lower}, {"p_two_sided", &h.z_p_two_sided}});
  add_holm(doc, "fisher_exact",
           {{"p_lower", &h.fisher_p_lower},
            {"p_two_sided", &h.fisher_p_two_sided},
            {"p_mid", &h.fisher_p_mid}});
  add_holm(doc, "z_ir", {{"p_lower", &h.z_ir_p_lower}});
  return doc;
}

// Everything but the header.
json body(const groups_audit &g) {
  json o;
  const group_result &ref = g.groups[g.reference];
  o["reference"] = ref.counts.name;
  o["reference_why"] = g.reference_why;
  json list = json::array();
  for (const group_result &r : g.groups) {
    json e{{"group", r.counts.name},
           {"applicants", r.counts.applicants},
           {"hires", r.counts.hires},
           {"rate", r.rate}};
    put(e, "impact_ratio", r.impact_ratio);
    json ff{{"flags", r.four_fifths}, {"one_person_flags", r.four_fifths_one_person}};
    put(ff, "hires_to_pass", r.hires_to_pass);
    e["four_fifths"] = ff;
    e["shortfall"] = r.shortfall;
    if (r.versus) {
      e["versus_reference"] = versus_json(*r.versus, r.holm);
    } else {
      e["versus_reference"] = nullptr;
      e["versus_reference_reason"] = "the reference group";
    }
    list.push_back(e);
  }
  o["groups"] = list;
  json exact;
  put(exact, "p", g.exact_p);
  exact["work"] = g.exact_work;
  o["overall"] = {
      {"applicants", g.applicants},
      {"hires", g.hires},
      {"pooled_rate", g.pooled_rate},
      {"chi_square", {{"statistic", g.chi_square}, {"df", g.df}, {"p", g.chi_square_p}}},
      {"exact", exact}};
  return o;
}

// ---- The page -------------------------------------------------------------

constexpr std::size_t page_width = 80;

// A name for the page: control characters as '?', at most `width` characters
// (UTF-8 counted by code points), cut with "..." when longer.
std::string shown(const std::string &name, std::size_t width) {
  std::string out;
  std::size_t chars = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if ((c & 0xC0) != 0x80) ++chars;
    if (chars > width) break;
    out += c < 0x20 || c == 0x7f ? '?' : name[i];
  }
  if (chars <= width) return out;
  std::size_t keep = 0, seen = 0;
  for (; keep < out.size(); ++keep)
    if ((static_cast<unsigned char>(out[keep]) & 0xC0) != 0x80 && ++seen > width - 3) break;
  return out.substr(0, keep) + "...";
}

// The name padded to `width` characters.
std::string padded(const std::string &name, std::size_t width) {
  std::string s = shown(name, width);
  const auto chars = static_cast<std::size_t>(std::count_if(
      s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
  return s + std::string(width - std::min(width, chars), ' ');
}

std::string cell(const char *format, double v) {
  return printed(format, v);
}

std::string groups_table(const groups_audit &g) {
  char head[160];
  std::snprintf(head, sizeof head, " %10s %8s %9s %8s %10s  %s\n", "applicants", "hired", "rate",
                "impact", "shortfall", "4/5");
  std::string out = "  " + padded("group", 18) + head;
  for (std::size_t i = 0; i < g.groups.size(); ++i) {
    const group_result &r = g.groups[i];
    char buf[160];
    std::snprintf(buf, sizeof buf, " %10d %8d %9s %8s %10s  %s\n", r.counts.applicants,
                  r.counts.hires, cell("%.6f", r.rate).c_str(),
                  r.impact_ratio.value ? cell("%.4f", *r.impact_ratio.value).c_str() : "-",
                  cell("%.4f", r.shortfall).c_str(),
                  i == g.reference ? "ref."
                  : r.four_fifths  ? "flags"
                                   : "no");
    out += "  " + padded(r.counts.name, 18) + buf;
  }
  char buf[160];
  std::snprintf(buf, sizeof buf, " %10lld %8lld %9s\n", g.applicants, g.hires,
                cell("%.6f", g.pooled_rate).c_str());
  return out + "  " + padded("all", 18) + buf;
}

std::string p_cell(const maybe<double> &m) {
  return m.value ? printed("%.4g", *m.value) : "-";
}

std::string holm_table(const groups_audit &g) {
  char head[160];
  std::snprintf(head, sizeof head, " %9s %9s %10s %10s %6s %9s\n", "Z lower", "Z 2-sided",
                "Fisher low", "Fisher 2-s", "mid-P", "IR-Z low");
  std::string out = "  " + padded("group", 18) + head;
  for (std::size_t i = 0; i < g.groups.size(); ++i) {
    if (i == g.reference) continue;
    const holm_adjusted &h = g.groups[i].holm;
    char buf[160];
    std::snprintf(buf, sizeof buf, " %9s %9s %10s %10s %6s %9s\n", p_cell(h.z_p_lower).c_str(),
                  p_cell(h.z_p_two_sided).c_str(), p_cell(h.fisher_p_lower).c_str(),
                  p_cell(h.fisher_p_two_sided).c_str(), p_cell(h.fisher_p_mid).c_str(),
                  p_cell(h.z_ir_p_lower).c_str());
    out += "  " + padded(g.groups[i].counts.name, 18) + buf;
  }
  return out;
}

std::string groups_part(const groups_audit &g) {
  const std::string ref = shown(g.groups[g.reference].counts.name, 40);
  const std::string m = std::to_string(g.groups.size() - 1);
  std::string out = wrapped("Reference: " + ref + ", " + g.reference_why + ".", 0, page_width);
  out += "\n";
  out += groups_table(g);
  out += "\n  impact: the rate over the reference's; shortfall: hires at the pooled rate\n"
         "  less actual; 4/5: the four-fifths rule against the reference\n";
  out += "\nEqual selection rates in all " + std::to_string(g.groups.size()) + " groups\n";
  out += dotted_line("Pearson's chi-square, " + std::to_string(g.df) + " degrees of freedom",
                     printed("%.4f", g.chi_square));
  out += dotted_line("p", printed("%.6g", g.chi_square_p));
  if (g.exact_p.value) {
    out += dotted_line("exact test (Freeman-Halton), p", printed("%.6g", *g.exact_p.value));
  } else {
    out += dotted_line("exact test (Freeman-Halton), p", "undefined");
    out += wrapped(g.exact_p.why, 6, page_width);
  }
  out += "\nHolm-adjusted p-values of the " + m + " comparisons with " + ref + "\n";
  out += holm_table(g);
  out += "  (- : undefined; the comparison below says why)\n";
  for (std::size_t i = 0; i < g.groups.size(); ++i) {
    if (i == g.reference) continue;
    const group_result &r = g.groups[i];
    out += "\n";
    const std::string name = shown(r.counts.name, 30);
    std::string title = name;
    title.append(" against ").append(ref).append(" (minority: ").append(name);
    title.append(", majority: ").append(ref).append(")");
    out += wrapped(title, 0, page_width);
    out += "\n";
    out += audit_part_page(*r.versus);
  }
  return out;
}

} // namespace

nlohmann::ordered_json groups_json(const groups_audit &g) {
  json doc = header(g.alpha);
  if (g.cancelled) {
    doc["cancelled"] = true;
    return doc;
  }
  doc.update(body(g));
  return doc;
}

nlohmann::ordered_json group_events_json(const group_events_audit &e) {
  json doc = header(e.alpha);
  if (e.cancelled) {
    doc["cancelled"] = true;
    return doc;
  }
  doc["reference"] = e.reference;
  doc["reference_why"] = e.reference_why;
  json list = json::array();
  for (std::size_t i = 0; i < e.events.size(); ++i) {
    json ev{{"event", e.event_names[i]}};
    ev.update(body(e.events[i]));
    ev.erase("reference");
    ev.erase("reference_why");
    list.push_back(ev);
  }
  doc["events"] = list;
  json across = json::array();
  for (const group_across_events &a : e.across) {
    const json pair = events_json(a.pair);
    across.push_back({{"group", a.group},
                      {"events", a.pair.events.size()},
                      {"total", pair["total"]},
                      {"mantel_haenszel", pair["mantel_haenszel"]},
                      {"common_implied_esize", pair["common_implied_esize"]}});
  }
  doc["across_events"] = across;
  return doc;
}

std::string groups_page(const groups_audit &g) {
  std::string out = "TORVAN audit of " + std::to_string(g.groups.size()) + " groups\n\n";
  if (g.cancelled) return out + "Not audited: the computation was cancelled.\n";
  return out + groups_part(g);
}

std::string group_events_page(const group_events_audit &e) {
  const std::string count = std::to_string(e.events.size());
  std::string out = "TORVAN audit of groups in " + count + " events\n";
  if (e.cancelled) return out + "\nNot audited: the computation was cancelled.\n";
  for (std::size_t i = 0; i < e.events.size(); ++i) {
    out += "\n";
    out += shown("Event " + std::to_string(i + 1) + " of " + count + ": " + e.event_names[i],
                 page_width) +
           "\n\n";
    out += groups_part(e.events[i]);
  }
  const std::string ref = shown(e.reference, 40);
  for (const group_across_events &a : e.across) {
    out += "\n";
    out += wrapped(
        shown(a.group, 30) + " against " + ref +
            (a.pair.events.size() == 1
                 ? std::string(" in the one event with both")
                 : " across the " + std::to_string(a.pair.events.size()) + " events with both"),
        0, page_width);
    out += "\n";
    out += events_together_page(a.pair);
  }
  return out;
}

std::string groups_json_text(const groups_audit &g, int indent) {
  return json_dump(groups_json(g), indent);
}
std::string group_events_json_text(const group_events_audit &e, int indent) {
  return json_dump(group_events_json(e), indent);
}
std::string groups_page_text(const groups_audit &g) {
  return groups_page(g);
}
std::string group_events_page_text(const group_events_audit &e) {
  return group_events_page(e);
}
