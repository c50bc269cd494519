// torvan audit: what an observed selection says about adverse impact.
#include "cli/audit_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/files.h"
#include "input/counts.h"
#include "input/groups.h"
#include "input/options.h"

namespace {

enum exit_status { ok = 0, bad_input = 2, write_failed = 4 };

struct audit_options {
  double alpha = 0.05;
  bool json = false;
  bool help = false;
  bool events = false;
  std::string events_file; // "-": standard input
  bool groups = false;
  std::string groups_file; // "-": standard input
  std::string reference;   // empty: the highest selection rate
  std::vector<std::string> counts;
  std::string error;
};

audit_options parse_audit_options(const std::vector<std::string> &args) {
  audit_options o;
  std::vector<std::string> given;
  for (std::size_t i = 0; i < args.size() && o.error.empty(); ++i) {
    const std::string &a = args[i];
    std::string value;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (option_value(args, i, "--alpha", value, o.error, given)) {
      if (o.error.empty()) o.error = read_alpha("--alpha", value, o.alpha);
    } else if (option_value(args, i, "--format", value, o.error, given)) {
      if (o.error.empty() && value != "text" && value != "json")
        o.error = "--format must be text or json, not '" + value + "'";
      o.json = value == "json";
    } else if (option_value(args, i, "--events", value, o.error, given)) {
      if (o.error.empty() && value.empty())
        o.error = "--events needs a file name, or - for standard input";
      o.events = true;
      o.events_file = value;
    } else if (option_value(args, i, "--groups", value, o.error, given)) {
      if (o.error.empty() && value.empty())
        o.error = "--groups needs a file name, or - for standard input";
      o.groups = true;
      o.groups_file = value;
    } else if (option_value(args, i, "--reference", value, o.error, given)) {
      if (o.error.empty() && value.empty()) o.error = "--reference needs a group's name";
      o.reference = value;
    } else if (a.starts_with("--")) {
      o.error = "unknown option '" + a + "'";
    } else {
      o.counts.push_back(a);
    }
  }
  if (!o.error.empty() || o.help) return o;
  if (o.events && o.groups)
    o.error = "give --groups or --events, not both";
  else if (o.groups && !o.counts.empty())
    o.error = counts_and_events_refusal("--groups");
  else if (o.events && !o.counts.empty())
    o.error = counts_and_events_refusal("--events");
  else if (!o.reference.empty() && !o.groups && !o.events)
    o.error = "--reference needs --groups, or --events with a group column";
  return o;
}

void put(const std::string &s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
}

int refuse(const std::string &why) {
  std::fflush(stdout);
  const std::string line = "torvan audit: " + why + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  return bad_input;
}

// The name a refusal puts before its line: the file, or nothing for standard input.
std::string in_file(const std::string &name) {
  return name == "-" ? "" : name + ": ";
}

int run_groups(const audit_options &o) {
  std::string text;
  if (std::string why = read_whole_file(o.groups_file, text); !why.empty()) return refuse(why);
  const groups_reading r = groups_from_table(text, o.reference, o.alpha);
  if (!r.error.empty()) return refuse(in_file(o.groups_file) + r.error);
  const groups_audit g = audit_groups(r.groups, o.reference, o.alpha);
  put(o.json ? groups_json_text(g, 2) + "\n" : groups_page_text(g));
  return ok;
}

int run_group_events(const audit_options &o, const table_reading &t) {
  const group_events_reading r = group_events_from_table(t, o.reference, o.alpha);
  if (!r.error.empty()) return refuse(in_file(o.events_file) + r.error);
  const group_events_audit e = audit_group_events(r.events, o.reference, o.alpha);
  put(o.json ? group_events_json_text(e, 2) + "\n" : group_events_page_text(e));
  return ok;
}

int run_events(const audit_options &o) {
  std::string text;
  if (std::string why = read_whole_file(o.events_file, text); !why.empty()) return refuse(why);
  if (const table_reading t = read_table(text);
      t.error.empty() && header_line(t) == group_events_header)
    return run_group_events(o, t);
  if (!o.reference.empty())
    return refuse(in_file(o.events_file) + "--reference needs the header " +
                  std::string(group_events_header));
  const events_reading r = events_from_csv(text, o.alpha);
  if (!r.error.empty()) return refuse((o.events_file == "-" ? "" : o.events_file + ": ") + r.error);
  const events_audit e = audit_events(r.events, o.alpha);
  put(o.json ? events_json_text(e, 2) + "\n" : events_page_text(e));
  return ok;
}

int run_counts(const audit_options &o) {
  // The arguments are read as standard input is: "10, 2, 10, 5" too.
  std::string text;
  for (const std::string &a : o.counts)
    text += a + ' ';
  const counts_reading r =
      o.counts.empty() ? read_counts(stdin, o.alpha) : counts_from_free_form(text, o.alpha);
  if (!r.error.empty()) return refuse(r.error);
  const selection_audit a = audit_selection(r.counts, o.alpha);
  put(o.json ? audit_json_text(a, 2) + "\n" : audit_page_text(a));
  return ok;
}

} // namespace

int run_audit(const std::vector<std::string> &args) {
  const audit_options o = parse_audit_options(args);
  if (!o.error.empty()) return refuse(o.error + " (see torvan audit --help)");
  int status = ok;
  if (o.help)
    put(audit_usage());
  else
    status = o.groups ? run_groups(o) : o.events ? run_events(o) : run_counts(o);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    const std::string line =
        std::string("torvan audit: could not write the output: ") + std::strerror(errno) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    return write_failed;
  }
  return status;
}

std::string audit_usage() {
  return R"(Usage: torvan audit [--alpha A] [--format text|json] N1 X N0 Y
       torvan audit [--alpha A] [--format text|json] < counts
       torvan audit [--alpha A] [--format text|json] --events FILE|-
       torvan audit [--alpha A] [--format text|json] [--reference NAME]
                    --groups FILE|-
       torvan audit --help

Audits an observed selection: N1 minority applicants of whom X were hired,
N0 majority applicants of whom Y were hired. Reports the selection rates,
the impact ratio r1/r0 and the AI ratio r0/r1, the four-fifths rule (and
the further minority hires after which it would not flag), the shortfall
of minority hires against the pooled rate, the two-proportion Z test,
Fisher's exact test (lower tail, two-sided, mid-P), the impact-ratio Z test
of Morris & Lobsenz with its interval for the impact ratio, and the implied
effect size: the minority-majority difference in mean predictor score (in
standard deviations) that makes X most probable were the X + Y hired the
best of this pool, with its exact 1 - A interval and the large-sample
probit value. A figure that is undefined for these counts (nobody hired, a
rate of 0 in a logarithm, an unbounded end) says why.

Counts: four whole numbers, as arguments or on standard input, separated by
blanks, commas or line ends (10, 2, 10, 5). At most 100000 applicants.

Options:
  --alpha A        significance level of the tests and 1 - A of the
                   intervals (1e-12 <= A < 1; default 0.05)
  --format text    one page within 80 columns (the default)
  --format json    one JSON document; a figure without a value is null,
                   with "<name>_reason" beside it
  --events FILE    several events (years, sites, job groups), - for
                   standard input: CSV with the header line
  event,minority_applicants,minority_hires,majority_applicants,majority_hires
                   then one event per line. Each event is audited, then
                   all together: the Mantel-Haenszel common odds ratio,
                   the Cochran-Mantel-Haenszel test without continuity
                   correction, and the common implied effect size. With
                   the header event,group,applicants,hires: several
                   groups in each event, audited as --groups, then each
                   group against the reference across the events
  --groups FILE    several groups, - for standard input: CSV or TSV with
                   the header group,applicants,hires, one group a row.
                   Each group against the reference: its rate, impact
                   ratio, four-fifths rule, shortfall at the pooled rate
                   and the two-group audit of the pair, with Holm-adjusted
                   p-values across the comparisons; then Pearson's
                   chi-square and the exact Freeman-Halton test of equal
                   rates in all groups (not computed, and said so, when
                   it would take more than a few seconds)
  --reference NAME the group the others are compared with (default: the
                   highest selection rate; ties: the larger group)
  --help           show this text

Examples:
  torvan audit 50 5 150 30
  echo "50 5 150 30" | torvan audit --format json
  torvan audit --alpha 0.01 --events hires.csv
  torvan audit --groups groups.csv --reference White

Exit status:
  0  audited
  2  counts that make no sense (negative, X > N1, Y > N0, not whole
     numbers, no applicant, more than 100000), a bad events or groups
     file (the message gives its line; for groups also a group named
     twice, fewer than two, nobody or everybody hired, an unknown
     reference), or a bad option
  4  the output could not be written
)";
}
