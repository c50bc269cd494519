// torvan design: the command line of a design.
#include "cli/design_command.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include "cli/files.h"
#include "input/clock.h"
#include "input/design_args.h"
#include "input/design_tables.h"
#include "input/options.h"
#include "report/design.h"
#include "report/design_plot.h"

namespace {

enum exit_status { ok = 0, bad_option = 2, gave_up = 3, write_failed = 4 };
enum class design_format { text, csv, json };

struct command {
  design_options design;
  std::string predictors, correlations; // file names, "-" for standard input
  design_format format = design_format::text;
  std::string plot;
  int threads = 0; // 0: every hardware thread
  bool help = false;
};

std::string set_option(command &c, const std::string &flag, const std::string &v) {
  if (flag == "--predictors" || flag == "--correlations") {
    if (v.empty()) return flag + " needs a file name, or - for standard input";
    (flag == "--predictors" ? c.predictors : c.correlations) = v;
  } else if (flag == "--format") {
    if (v != "text" && v != "csv" && v != "json")
      return "--format must be text, csv or json, not '" + v + "'";
    c.format = v == "csv"    ? design_format::csv
               : v == "json" ? design_format::json
                             : design_format::text;
  } else if (flag == "--plot") {
    if (v.empty()) return "--plot needs a file name";
    c.plot = v;
  } else if (flag == "--threads") {
    return read_count(flag, v, 1, c.threads);
  } else {
    return set_design_option(c.design, flag, v).value_or("");
  }
  return "";
}

constexpr const char *flags[] = {
    "--predictors", "--correlations",    "--matrix",   "--weights",          "--ntot",
    "--nhire",      "--selection-ratio", "--prop",     "--minority",         "--alpha",
    "--method",     "--points",          "--max-risk", "--min-impact-ratio", "--rule",
    "--compare",    "--format",          "--plot",     "--threads"};

std::string parse(const std::vector<std::string> &args, command &c) {
  std::vector<std::string> given; // --compare alone may be repeated
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      c.help = true;
      continue;
    }
    const auto flag = std::find_if(std::begin(flags), std::end(flags), [&](const char *f) {
      return args[i] == f || args[i].starts_with(std::string(f) + "=");
    });
    if (flag == std::end(flags)) return "unknown option '" + args[i] + "'";
    std::string value, error;
    std::vector<std::string> repeatable;
    option_value(args, i, *flag, value, error,
                 std::string(*flag) == "--compare" ? repeatable : given);
    if (!error.empty()) return error;
    if (std::string why = set_option(c, *flag, value); !why.empty()) return why;
  }
  return "";
}

std::string read_tables(command &c) {
  if (c.predictors.empty()) return "--predictors FILE is required";
  if (c.correlations.empty()) return "--correlations FILE is required";
  if (c.predictors == "-" && c.correlations == "-")
    return "--predictors and --correlations cannot both be standard input";
  std::string text;
  if (std::string why = read_whole_file(c.predictors, text); !why.empty()) return why;
  if (auto why = read_predictors(text, c.design.predictors)) return c.predictors + ": " + *why;
  text.clear();
  if (std::string why = read_whole_file(c.correlations, text); !why.empty()) return why;
  if (auto why = read_correlations(text, c.design.predictors, c.design.correlations))
    return c.correlations + ": " + *why;
  return "";
}

std::string document(const command &c, const design_result &r, double cpu) {
  switch (c.format) {
    case design_format::csv:
      return design_csv(c.design, r);
    case design_format::json:
      return design_json_text(c.design, r, {c.design.threads, cpu}, 2) + "\n";
    case design_format::text:
      break;
  }
  return design_page(c.design, r);
}

} // namespace

int run_design_command(const std::vector<std::string> &args, std::FILE *out, std::FILE *err) {
  command c;
  std::string why = parse(args, c);
  if (why.empty() && c.help)
    return write_all(out, design_usage()) && std::fflush(out) == 0 ? ok : write_failed;
  const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
  c.design.threads = c.threads > 0 ? c.threads : static_cast<int>(hw);
  if (why.empty()) why = read_tables(c);
  if (why.empty()) why = design_refusal(c.design).value_or("");
  if (!why.empty()) {
    std::fprintf(err, "torvan design: %s (see torvan design --help)\n", why.c_str());
    return bad_option;
  }
  const double t0 = process_cpu_seconds();
  const design_result r = solve_design(c.design);
  const bool written = write_all(out, document(c, r, process_cpu_seconds() - t0));
  if (!written || std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(err, "torvan design: could not write the output: %s\n", std::strerror(errno));
    return write_failed;
  }
  if (!r.error.empty()) {
    std::fprintf(err, "torvan design: %s\n", r.error.c_str());
    return gave_up;
  }
  if (!c.plot.empty() && !write_file(c.plot, design_svg(c.design, r))) {
    std::fprintf(err, "torvan design: could not write the chart to %s: %s\n", c.plot.c_str(),
                 std::strerror(errno));
    return write_failed;
  }
  return ok;
}

std::string design_usage() {
  return R"(Usage: torvan design --predictors FILE --correlations FILE --ntot N
                     (--nhire H | --selection-ratio R) (--prop P | --minority M)
                     [--matrix within|overall] [--weights nonnegative|free]
                     [--points K] [--max-risk P [--rule NAME]]
                     [--min-impact-ratio A] [--compare NAME=w1,w2,...]
                     [--alpha A] [--method direct|nested]
                     [--format text|csv|json] [--plot FILE.svg] [--threads N]
       torvan design --help

Designs a composite of predictors: the exact front of the most valid
composites, from the least adverse one to the most valid one, each with its
population impact ratio and the exact probability that each adverse impact
rule flags the minority when the nhire best of ntot applicants are hired.
Each point's probabilities are those of `torvan --format json --rows none`
for the single problem of its esize.

Options:
  --predictors FILE    CSV (or TSV), one predictor a row under the header
                       name,validity,d or name,validity,esize; d is the
                       majority's mean less the minority's (positive when the
                       minority scores lower), esize the opposite sign
  --correlations FILE  the square correlation matrix, the predictors' names
                       as its header row and first column, in any order;
                       - reads either file from standard input
  --matrix M           within (the default): within-group correlations and
                       esizes; overall: a matrix of the whole applicant
                       population, each d converted to a point-biserial
                       correlation at the minority share and back
  --ntot N             applicants in the pool
  --nhire H            hires, 1 to N ...
  --selection-ratio R  ... or nhire = round(R N), at least 1 (0 < R <= 1)
  --prop P             binomial pools: each applicant a minority applicant
                       with probability P (0 < P < 1) ...
  --minority M         ... or a known pool of M minority applicants
  --weights W          nonnegative (the default) or free
  --points K           points of the front, equally spaced in the composite's
                       esize (default 21)
  --max-risk P         choose the most valid composite that the rule flags
                       with probability at most P (0 < P < 1)
  --rule NAME          the rule of --max-risk: four_fifths (the default),
                       four_fifths_one_person, z_test, fisher_exact, z_ir,
                       four_fifths_and_z
  --min-impact-ratio A choose the most valid composite whose population impact
                       ratio (minority rate over majority rate) is at least A
  --compare NAME=W,... also evaluate these weights, in the predictors' order
                       (repeatable); unit and regression are built in
  --alpha A            significance level of the rules' tests (default 0.05)
  --method M           direct (the default) or nested, as for one problem
  --format text        a page within 80 columns (the default)
  --format csv         one line per composite, every number to full precision
  --format json        one document: front, compared and chosen
  --plot FILE.svg      also draw validity against the rule's probability
  --threads N          compute each problem on N threads (default: every
                       hardware thread); the figures are the same for every N
  --help               show this text

Example: the most valid non-negative composite that the four-fifths rule flags
in at most a third of selections of 20 from 200 applicants, 15% minority:
  torvan design --predictors predictors.csv --correlations correlations.csv \
    --matrix overall --ntot 200 --nhire 20 --prop 0.15 --max-risk 0.33

Exit status: 0 done; 2 a bad option, an unreadable table or a refused design;
3 an integral could not be accepted; 4 the output or the chart could not be
written.
)";
}
