// Command-line options: all optional, all checked before any input is read.
#include "driver/options.h"

#include <charconv>

namespace {

bool parse_count(const std::string &text, int &value) {
  const char *end = text.data() + text.size();
  const auto [p, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && p == end && value >= 1;
}

} // namespace

options parse_options(const std::vector<std::string> &args) {
  options o;
  for (std::size_t i = 0; i < args.size() && o.error.empty(); ++i) {
    const std::string &a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--threads" || a.starts_with("--threads=")) {
      const bool inline_value = a.size() > 9;
      if (!inline_value && i + 1 == args.size()) {
        o.error = "--threads needs a value";
        break;
      }
      const std::string value = inline_value ? a.substr(10) : args[++i];
      if (!parse_count(value, o.threads))
        o.error = "--threads needs a whole number of at least 1, not '" + value + "'";
    } else {
      o.error = "unknown option '" + a + "'";
    }
  }
  return o;
}

std::string usage() {
  return R"(Usage: torvan [--threads N] < problem
       torvan --help | --version

Computes the exact sampling distribution of the adverse impact (AI) ratio
under top-down selection, and its expected value, variance and standard
deviation.

Input (standard input): four free-form values, separated by blanks, commas
or line ends:
  ntot   number of applicants (integer, at least 2)
  nhire  number of hires (integer, 0 ... ntot)
  esize  effect size: mean minority score in standard deviations of the
         majority's (negative when the minority scores lower)
  prop   proportion of minority applicants in the population (0 < prop < 1)
for example:  echo "100 20 -1.0 0.2" | torvan

Report (standard output): the problem, then one row per value the AI ratio
(majority selection rate / minority selection rate) can take: N, the value
VAI (999999.9 where the ratio is undefined), its probability PVAI and the
cumulative probability CPVAI; then the moments and the CPU time.

Options:
  --threads N  compute pools on N threads (default: every hardware thread);
               the report is the same for every N
  --help       show this text
  --version    show the program's and the numerical library's versions

Exit status:
  0  the report is complete
  1  the problem cannot be computed (refused after the headings)
  2  malformed input, or a bad option
  3  an integral could not be accepted: no distribution was computed
  4  the report could not be written
)";
}
