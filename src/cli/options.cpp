// Command-line options: all optional, all checked before any input is read.
#include "cli/options.h"

#include <charconv>

namespace {

bool parse_count(const std::string &text, int &value) {
  const char *end = text.data() + text.size();
  const auto [p, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && p == end && value >= 1;
}

// The value of an option given as "--name value" or "--name=value".
bool option_value(const std::vector<std::string> &args, std::size_t &i, const std::string &name,
                  std::string &value, std::string &error) {
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
  return true;
}

std::string check(const options &o) {
  if (o.batch && o.format == output_format::csv) return "--batch writes JSON lines, not CSV";
  if (o.batch && !o.plot.empty()) return "--plot draws one problem and cannot be used with --batch";
  return "";
}

} // namespace

options parse_options(const std::vector<std::string> &args) {
  options o;
  for (std::size_t i = 0; i < args.size() && o.error.empty(); ++i) {
    const std::string &a = args[i];
    std::string value;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--batch") {
      o.batch = true;
    } else if (option_value(args, i, "--threads", value, o.error)) {
      if (o.error.empty() && !parse_count(value, o.threads))
        o.error = "--threads needs a whole number of at least 1, not '" + value + "'";
    } else if (option_value(args, i, "--format", value, o.error)) {
      if (value == "report")
        o.format = output_format::report;
      else if (value == "csv")
        o.format = output_format::csv;
      else if (value == "json")
        o.format = output_format::json;
      else if (o.error.empty())
        o.error = "--format must be report, csv or json, not '" + value + "'";
    } else if (option_value(args, i, "--plot", value, o.error)) {
      if (o.error.empty() && value.empty()) o.error = "--plot needs a file name";
      o.plot = value;
    } else {
      o.error = "unknown option '" + a + "'";
    }
  }
  if (o.error.empty()) o.error = check(o);
  return o;
}

std::string usage() {
  return R"(Usage: torvan [--threads N] [--format report|csv|json] [--plot FILE.svg] < problem
       torvan --batch [--threads N] < problems
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

Report (standard output, the default): the problem, then one row per value
the AI ratio (majority selection rate / minority selection rate) can take:
N, the value VAI (999999.9 where the ratio is undefined), its probability
PVAI and the cumulative probability CPVAI; then the moments and the CPU time.

Options:
  --threads N    compute on N threads (default: every hardware thread); the
                 results are the same for every N
  --format csv   the distribution as CSV: n,ai,defined,probability,cumulative
                 (full precision; the undefined row has an empty ai)
  --format json  one JSON document: the problem, every row, the moments,
                 P(undefined), the weight of the skipped pools, P(AI > 1.25)
                 and P(AI < 0.8) (four-fifths rule both ways), the 5th, 50th
                 and 95th percentiles of the defined ratio, versions, threads
                 and CPU seconds. In csv and json modes diagnostic lines go
                 to standard error.
  --plot F.svg   also draw the distribution as an SVG chart in F.svg
  --batch        one problem per input line (blank lines and lines starting
                 with # skipped), one JSON document per output line, in input
                 order; a line that fails gives a document with an "error"
                 field and the batch goes on
  --help         show this text
  --version      show the program's and the numerical library's versions

Examples:
  echo "100 20 -1.0 0.2" | torvan
  echo "100 20 -1.0 0.2" | torvan --format csv > dist.csv
  echo "100 20 -1.0 0.2" | torvan --format json --plot dist.svg > dist.json
  printf '100 20 -1 0.2\n100 20 -0.5 0.2\n' | torvan --batch > grid.jsonl

Exit status:
  0  complete
  1  the problem cannot be computed (refused after the headings); in a
     batch, any line failed
  2  malformed input, or a bad option
  3  an integral could not be accepted: no distribution was computed
  4  the output (or the chart) could not be written
)";
}
