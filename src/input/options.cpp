// Command-line options: all optional, all checked before any input is read.
#include "input/options.h"

#include "input/number.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

bool format_named(const std::string &name, output_format &f) {
  const std::pair<const char *, output_format> formats[] = {{"report", output_format::report},
                                                            {"csv", output_format::csv},
                                                            {"json", output_format::json},
                                                            {"summary", output_format::summary},
                                                            {"joint", output_format::joint}};
  for (const auto &[n, v] : formats)
    if (name == n) {
      f = v;
      return true;
    }
  return false;
}

std::string check(options &o, bool format_given) {
  if (o.minority >= 0 && !format_given && !o.batch) o.format = output_format::summary;
  if (o.minority >= 0 && o.format == output_format::report && !o.batch)
    return "the classic report describes binomial pools; with --minority use --format summary, "
           "csv, json or joint";
  if (o.batch && o.format != output_format::report && o.format != output_format::json)
    return "--batch writes JSON lines, not another format";
  if (o.batch && !o.plot.empty()) return "--plot draws one problem and cannot be used with --batch";
  if (!o.rows && !o.batch && o.format != output_format::json)
    return "--rows none is for --format json and --batch; the other formats need no choice";
  return "";
}

} // namespace

bool option_value(const std::vector<std::string> &args, std::size_t &i, const std::string &name,
                  std::string &value, std::string &error, std::vector<std::string> &given) {
  const std::string &a = args[i];
  if (a.starts_with(name + "=")) {
    value = a.substr(name.size() + 1);
  } else if (a != name) {
    return false;
  } else if (i + 1 < args.size()) {
    value = args[++i];
  } else {
    error = name + " needs a value";
  }
  if (error.empty() && std::find(given.begin(), given.end(), name) != given.end())
    error = given_twice(name);
  given.push_back(name);
  return true;
}

std::string given_twice(const std::string &name) {
  return name + " is given more than once";
}

std::string read_count(const std::string &name, const std::string &text, int least, int &value) {
  if (std::string why = read_whole(name, text, value); !why.empty()) return why;
  if (value >= least) return "";
  return name + " = " + std::to_string(value) + " must be at least " + std::to_string(least);
}

std::string read_method(const std::string &name, const std::string &text, ai_method &value) {
  const auto m = method_named(text);
  if (!m) return name + " must be nested or direct, not '" + text + "'";
  value = *m;
  return "";
}

std::string read_alpha(const std::string &name, const std::string &text, double &value) {
  if (std::string why = read_number(name, text, value); !why.empty()) return why;
  if (value > 0.0 && value < 1.0) return "";
  char shown[32];
  std::snprintf(shown, sizeof shown, "%.17g", value);
  return name + " = " + shown + " must lie strictly between 0 and 1";
}

std::string read_rows(const std::string &name, const std::string &text, bool &value) {
  if (text != "all" && text != "none") return name + " must be all or none, not '" + text + "'";
  value = text == "all";
  return "";
}

options parse_options(const std::vector<std::string> &args) {
  options o;
  bool format_given = false;
  std::vector<std::string> given;
  for (std::size_t i = 0; i < args.size() && o.error.empty(); ++i) {
    const std::string &a = args[i];
    std::string value;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--batch") {
      o.batch = true;
    } else if (option_value(args, i, "--threads", value, o.error, given)) {
      if (o.error.empty()) o.error = read_count("--threads", value, 1, o.threads);
    } else if (option_value(args, i, "--format", value, o.error, given)) {
      format_given = true;
      if (o.error.empty() && !format_named(value, o.format))
        o.error = "--format must be report, csv, json, summary or joint, not '" + value + "'";
    } else if (option_value(args, i, "--method", value, o.error, given)) {
      if (o.error.empty()) o.error = read_method("--method", value, o.method);
    } else if (option_value(args, i, "--minority", value, o.error, given)) {
      if (o.error.empty()) o.error = read_count("--minority", value, 0, o.minority);
    } else if (option_value(args, i, "--alpha", value, o.error, given)) {
      if (o.error.empty()) o.error = read_alpha("--alpha", value, o.alpha);
    } else if (option_value(args, i, "--rows", value, o.error, given)) {
      if (o.error.empty()) o.error = read_rows("--rows", value, o.rows);
    } else if (option_value(args, i, "--plot", value, o.error, given)) {
      if (o.error.empty() && value.empty()) o.error = "--plot needs a file name";
      o.plot = value;
    } else {
      o.error = "unknown option '" + a + "'";
    }
  }
  if (o.error.empty()) o.error = check(o, format_given);
  return o;
}

std::string usage() {
  return R"(Usage: torvan [--method nested|direct] [--format FORMAT] [--minority N]
              [--alpha A] [--threads N] [--rows all|none] [--plot FILE.svg] < problem
       torvan --batch [--method nested|direct] [--minority N] [--alpha A]
              [--threads N] [--rows all|none] < problems
       torvan plan --esize D ... --ntot A:B   (see torvan plan --help)
       torvan serve [--host H] [--port P] [--threads N] [--queue N] [--max-ntot N]
       torvan audit [--alpha A] [--format text|json] N1 X N0 Y | --events FILE
              (observed counts; see torvan audit --help)
       torvan --help | --version

Computes the exact sampling distribution of the adverse impact (AI) ratio
under top-down selection, its expected value, variance and standard
deviation, and the probability that the usual adverse impact rules flag the
minority group. `torvan serve` shows the same on a page in a web browser
(see torvan serve --help).

Input (standard input): four free-form values, separated by blanks, commas
or line ends:
  ntot   number of applicants (integer, at least 2)
  nhire  number of hires (integer, 0 ... ntot)
  esize  effect size: mean minority score in standard deviations of the
         majority's (negative when the minority scores lower)
  prop   proportion of minority applicants in the population (0 < prop < 1)

Report (standard output, the default): the problem, then one row per value
the AI ratio (majority selection rate / minority selection rate) can take:
N, the value VAI (999999.9 where the ratio is undefined), its probability
PVAI and the cumulative probability CPVAI; then the moments and the CPU time.

Methods (the same table and outputs; the digits are the method's):
  --method nested  the default: the classic nested integration. Reproduces
                 the classic report digit for digit; its own error is about
                 1e-9 relative on small problems and, on a few hundred
                 applicants, up to 5e-5 relative or 1e-8 absolute in a
                 probability and 3e-8 in the cumulative column; it cannot
                 follow a large positive esize (about 2 and above) and may
                 give up there. Each result is checked against the direct
                 method's: refused (exit status 1) where a cumulative value
                 differs by more than 1e-4, noted on standard error where
                 by more than 1e-6.
  --method direct  one integral per pool for all its outcomes at once: every
                 probability to 1e-11 relative (or 1e-16 absolute), the
                 cumulative column to 1e-12, any esize, and hundreds of
                 times faster (200 50 -0.5 0.3 on one core: 11 s nested,
                 0.004 s direct). Use it for large pools, grids and research
                 figures; use nested to reproduce classic reports.

Adverse impact rules (probability that each flags the minority; an outcome
with no minority hire and some majority hire is the clearest adverse impact):
  four_fifths             minority rate < 4/5 of majority rate (Uniform
                          Guidelines, 29 CFR 1607.4D), decided in integers
  four_fifths_one_person  the four-fifths rule still flags with one more
                          minority hire
  z_test                  two-proportion Z test, pooled variance, Z >= z
  fisher_exact            Fisher's exact test, lower tail <= alpha/2
  z_ir                    impact-ratio Z test (Morris & Lobsenz, 2000)
  four_fifths_and_z       the four-fifths rule and the Z test together
z = Phi^-1(1 - alpha/2). No rule flags when nobody or everybody is hired or a
group is absent from the pool ("no_comparison").

Options:
  --threads N      compute on N threads (default: every hardware thread);
                   the results are the same for every N
  --format report  the classic report (default without --minority)
  --format summary a one-page summary: moments, P(undefined) by cause,
                   percentiles, the four-fifths thresholds and every rule's
                   probability of flagging (default with --minority)
  --format csv     the distribution as CSV: n,ai,defined,probability,cumulative
                   (full precision; the undefined row has an empty ai)
  --format json    one JSON document: the problem, the method, every row, the
                   moments, P(undefined) and its two causes, the weight of the
                   skipped pools, P(AI > 1.25), P(AI < 0.8), the 5th, 25th,
                   50th, 75th and 95th percentiles of the defined ratio, the
                   "adverse_impact" probabilities, versions, threads and CPU
                   seconds
  --format joint   CSV of the joint distribution, one row per outcome with
                   non-zero probability: minority_applicants,minority_hires,
                   probability,ai and each rule's verdict (true/false)
                   In every format but the report, diagnostic lines go to
                   standard error.
  --rows none      JSON (--format json, --batch) without the rows: the
                   figures alone. Like --format summary, it needs no table of
                   ratios, so with --method direct it reaches pools of 10^5 to
                   10^6 applicants. With --rows all (the default) a table too
                   large for this machine gives "rows": null, "rows_omitted"
                   and the figures.
  --minority N     the pool is known: exactly N of the ntot applicants are
                   minority applicants (0 <= N <= ntot); no mixing over pool
                   compositions, prop is read but not used
  --alpha A        significance level of the rules' tests (0 < A < 1;
                   default 0.05)
  --plot F.svg     also draw the distribution as an SVG chart in F.svg
  --batch          one problem per input line (blank lines and lines starting
                   with # skipped), one JSON document per output line, in
                   input order; a line that fails gives a document with an
                   "error" field and the batch goes on
  --help           show this text
  --version        show the program's and the numerical library's versions

Examples:
  echo "100 20 -1.0 0.2" | torvan
  echo "100 20 -1.0 0.2" | torvan --method direct --format summary
  echo "100 20 -1.0 0.2" | torvan --minority 20 --method direct
  echo "100 20 -1.0 0.2" | torvan --format csv > dist.csv
  echo "100 20 -1.0 0.2" | torvan --format json --plot dist.svg > dist.json
  printf '100 20 -1 0.2\n100 20 -0.5 0.2\n' | torvan --batch --method direct

Exit status:
  0  complete
  1  the problem cannot be computed (refused after the headings), or the
     nested method's result is refused by its check; in a batch, any line
     failed
  2  malformed input, or a bad option (--minority above ntot included)
  3  an integral could not be accepted: no distribution was computed
  4  the output (or the chart) could not be written
)";
}
