// torvan plan: the command line of a plan.
#include "cli/plan_command.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include "cli/files.h"
#include "cli/progress.h"
#include "engine/plan.h"
#include "input/clock.h"
#include "input/options.h"
#include "input/plan_args.h"
#include "report/plan.h"
#include "report/plan_plot.h"

namespace {

enum exit_status { ok = 0, rows_missing = 1, bad_option = 2, write_failed = 4 };
enum class plan_format { text, csv, json };

struct command {
  plan_options plan;
  plan_format format = plan_format::text;
  std::string plot; // non-empty: also write the chart to this file
  int threads = 0;  // 0: every hardware thread
  bool help = false;
};

// Every option but --help. Those before --format set the plan option of the
// same name, with dashes for underscores.
constexpr const char *flags[] = {
    "--esize",  "--prop", "--minority-share", "--selection-ratio", "--nhire", "--ntot",   "--alpha",
    "--target", "--rule", "--method",         "--format",          "--plot",  "--threads"};

std::optional<std::string> set_command_option(command &c, const std::string &flag,
                                              const std::string &value) {
  if (flag == "--format") {
    if (value == "text")
      c.format = plan_format::text;
    else if (value == "csv")
      c.format = plan_format::csv;
    else if (value == "json")
      c.format = plan_format::json;
    else
      return "--format must be text, csv or json, not '" + value + "'";
  } else if (flag == "--plot") {
    if (value.empty()) return "--plot needs a file name";
    c.plot = value;
  } else if (flag == "--threads") {
    if (std::string why = read_count(flag, value, 1, c.threads); !why.empty()) return why;
  } else {
    std::string name = flag.substr(2);
    std::replace(name.begin(), name.end(), '-', '_');
    if (auto why = set_plan_option(c.plan, name, value)) return with_flags(*why);
  }
  return std::nullopt;
}

// Options as "--name value" or "--name=value"; the first fault.
std::optional<std::string> parse(const std::vector<std::string> &args, command &c) {
  std::vector<std::string> given; // --rule may come again: each adds rules
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      c.help = true;
      continue;
    }
    const char *const *flag = std::find_if(std::begin(flags), std::end(flags), [&](const char *f) {
      return args[i] == f || args[i].starts_with(std::string(f) + "=");
    });
    if (flag == std::end(flags)) return "unknown option '" + args[i] + "'";
    std::string value, error;
    std::vector<std::string> repeatable;
    option_value(args, i, *flag, value, error, *flag == std::string("--rule") ? repeatable : given);
    if (!error.empty()) return error;
    if (auto why = set_command_option(c, *flag, value)) return why;
  }
  return std::nullopt;
}

std::string document(const command &c, const plan_result &r, double cpu) {
  switch (c.format) {
    case plan_format::csv:
      return plan_csv(c.plan, r);
    case plan_format::json:
      return plan_json_text(c.plan, r, {c.plan.threads, cpu}, 2) + "\n";
    case plan_format::text:
      break;
  }
  return plan_page(c.plan, r);
}

// Sweeps of this many sizes or more are announced before they start.
constexpr int large_sweep = 10000;

} // namespace

int run_plan_command(const std::vector<std::string> &args, std::FILE *out, std::FILE *err) {
  command c;
  auto why = parse(args, c);
  if (!why && c.help)
    return write_all(out, plan_usage()) && std::fflush(out) == 0 ? ok : write_failed;
  const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
  c.plan.threads = c.threads > 0 ? c.threads : static_cast<int>(hw);
  if (!why)
    if (const auto refused = plan_refusal(c.plan)) why = with_flags(*refused);
  if (why) {
    std::fprintf(err, "torvan plan: %s (see torvan plan --help)\n", why->c_str());
    return bad_option;
  }

  const double t0 = process_cpu_seconds();
  const std::vector<double> work = cumulative_work(*c.plan.ntot);
  const auto rows = static_cast<int>(work.size() - 1);
  if (rows >= large_sweep)
    std::fprintf(err,
                 "torvan plan: %d sizes to compute (ntot %d to %d); a larger step draws the "
                 "same curves from fewer sizes\n",
                 rows, c.plan.ntot->from, c.plan.ntot->from + (rows - 1) * c.plan.ntot->step);
  progress_line bar(err, "rows");
  c.plan.progress = [&](int done, int total) {
    bar.update(done, total, work[static_cast<std::size_t>(done)] / work.back());
  };
  const plan_result r = solve_plan(c.plan);
  bar.erase();
  const bool written = write_all(out, document(c, r, process_cpu_seconds() - t0));
  if (!written || std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(err, "torvan plan: could not write the output: %s\n", std::strerror(errno));
    return write_failed;
  }
  if (!c.plot.empty() && !write_file(c.plot, plan_svg(c.plan, r))) {
    std::fprintf(err, "torvan plan: could not write the chart to %s: %s\n", c.plot.c_str(),
                 std::strerror(errno));
    return write_failed;
  }
  const auto missing = rows_missing_reason(r);
  if (!missing) return ok;
  std::fprintf(err, "torvan plan: %s\n", missing->c_str());
  return rows_missing;
}

std::string plan_usage() {
  return R"(Usage: torvan plan --esize D (--prop P | --minority-share S)
                   (--selection-ratio R | --nhire H) --ntot A:B[:STEP]
                   [--alpha A] [--target T] [--rule NAME[,NAME...]]
                   [--method direct|nested] [--format text|csv|json]
                   [--plot FILE.svg] [--threads N]
       torvan plan --help

Plans an adverse impact study: for every pool size ntot from A to B, the exact
probability that each adverse impact rule flags the minority group, P(AI >
1.25) and P(AI undefined), and for each rule the pool sizes at which that
probability reaches the target. Each row is the single problem of that size,
its figures those of `torvan --format json --rows none` to the last digit. At
esize 0 the groups do not differ, and every probability is the rule's
false-positive rate.

The discrete tests saw-tooth as ntot grows, so two sizes are given per rule:
  first  the smallest ntot of the range whose probability reaches the target
  stays  the smallest ntot from which it stays at or above the target to B
or none when not reached in the range.

Options (the names in parentheses are those of the JSON document and the
server's parameters):
  --esize D            mean minority score in standard deviations of the
                       majority's (required; negative: the minority scores
                       lower)
  --prop P             binomial pools: each applicant is a minority applicant
                       with probability P (0 < P < 1); the rows show the
                       expected number, P ntot
  --minority-share S   (minority_share) known pools of exactly round(S ntot)
                       minority applicants (0 <= S <= 1)
  --selection-ratio R  (selection_ratio) nhire = round(R ntot), at least 1
                       (0 < R <= 1)
  --nhire H            the same H hires at every size; sizes below H cannot
                       be computed and their rows say so
  --ntot A:B[:STEP]    the pool sizes A, A + STEP, ... up to B (2 <= A <= B,
                       STEP >= 1, default 1; at most 100000 sizes)
  --alpha A            significance level of the rules' tests (default 0.05)
  --target T           the probability to reach (0 < T < 1; default 0.8)
  --rule NAME          only these rules (repeat it, or separate names by
                       commas): four_fifths, four_fifths_one_person, z_test,
                       fisher_exact, z_ir, four_fifths_and_z (default: all)
  --method M           direct (the default) or nested, as for one problem
  --format text        a page within 80 columns (the default); probabilities
                       to four decimals, the found sizes from every digit
  --format csv         one line per size, every number to full precision; a
                       size not computed has empty figures and its reason
                       in the error column
  --format json        one document: the options, the rows, the found sizes
  --plot FILE.svg      also draw the curves, one line per rule, the target as
                       a dashed line; ntot on a log axis when B / A > 100
  --threads N          compute on N threads (default: every hardware thread):
                       sizes at once, and pools within a size when sizes are
                       few; the figures are the same for every N
  --help               show this text

round() rounds halves away from zero (up): R = 0.25 with ntot = 10 gives 3
hires; R ntot is taken in double precision.

Example: how large a pool before each rule flags a difference of -0.3 at least
four times in five, hiring one applicant in five?
  torvan plan --esize -0.3 --prop 0.3 --selection-ratio 0.2 --ntot 10:2000

Exit status: 0 every size computed; 1 some size could not be (its row says
why); 2 a bad option; 4 the output or the chart could not be written.
)";
}
