// The program's edges: refused problems, unwritable output, arguments, line ends.
#include <gtest/gtest.h>

#include "run_torvan.h"

#include <sstream>

#include <nlohmann/json.hpp>

namespace {

const std::string titles = "       N          VAI            PVAI           CPVAI\n";

bool ends_with(const std::string &s, const std::string &tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A problem that cannot be computed: headings written, one line on standard
// error naming the value and the rule, status 1.
TEST(Cli, RefusesProblemsThatCannotBeComputed) {
  const struct {
    const char *input, *message;
  } cases[] = {
      {"1 1 0 0.5\n", "torvan: ntot = 1 must be at least 2\n"},
      {"-3 0 0 0.5\n", "torvan: ntot = -3 must be at least 2\n"},
      {"5 7 0 0.5\n", "torvan: nhire = 7 must lie between 0 and ntot = 5\n"},
      {"5 -1 0 0.5\n", "torvan: nhire = -1 must lie between 0 and ntot = 5\n"},
      {"10 3 0.5 0\n", "torvan: prop = 0 must lie strictly between 0 and 1\n"},
      {"10 3 0.5 1\n", "torvan: prop = 1 must lie strictly between 0 and 1\n"},
      {"10 3 0.5 -0.25\n", "torvan: prop = -0.25 must lie strictly between 0 and 1\n"},
  };
  for (const auto &c : cases) {
    const run_result r = run_torvan(c.input);
    EXPECT_EQ(r.status, 1) << c.input;
    EXPECT_EQ(r.err, c.message) << c.input;
    EXPECT_TRUE(ends_with(r.out, titles)) << c.input;
  }
}

TEST(Cli, RefusesATableBeyondMemoryAtOnce) {
  const run_result r = run_torvan("2147483647 1000 0 0.5\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("more than this machine can hold"), std::string::npos) << r.err;
  EXPECT_TRUE(ends_with(r.out, titles));
}

// The nested method's figures come from its table, so it is refused for the
// summary too, pointing to the direct method; JSON without rows likewise.
TEST(Cli, NestedFiguresNeedTheTable) {
  for (const char *args : {"--format summary", "--format json --rows none"}) {
    const run_result r = run_torvan("2147483647 1000 0 0.5\n", args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_NE(r.err.find("more than this machine can hold; the direct method's figures"),
              std::string::npos)
        << r.err;
  }
}

TEST(Cli, FullOutputIsAFailure) {
  const run_result r = run_torvan("4 2 0 0.5\n", "", "/dev/full");
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("could not write the output"), std::string::npos) << r.err;
}

// A bad command line is refused before anything is read or written.
TEST(Cli, BadOptionsAreRefusedBeforeReading) {
  const struct {
    const char *args, *message;
  } cases[] = {
      {"--bogus", "torvan: unknown option '--bogus' (see torvan --help)\n"},
      {"input.txt", "torvan: unknown option 'input.txt' (see torvan --help)\n"},
      {"--threads", "torvan: --threads needs a value (see torvan --help)\n"},
      {"--threads 0", "torvan: --threads = 0 must be at least 1 (see torvan --help)\n"},
      {"--threads=2x", "torvan: --threads must be a whole number, not '2x' (see torvan --help)\n"},
      {"--threads 99999999999", "torvan: --threads must be a whole number, not '99999999999' (see "
                                "torvan --help)\n"},
      {"--threads 2 --threads=2", "torvan: --threads is given more than once (see torvan "
                                  "--help)\n"},
      {"--method exact", "torvan: --method must be nested or direct, not 'exact' (see torvan "
                         "--help)\n"},
      {"--minority -1", "torvan: --minority = -1 must be at least 0 (see torvan --help)\n"},
      {"--alpha 0", "torvan: --alpha = 0 must lie strictly between 0 and 1 (see torvan --help)\n"},
      {"--alpha=1", "torvan: --alpha = 1 must lie strictly between 0 and 1 (see torvan --help)\n"},
      {"--alpha 0.05x", "torvan: --alpha must be a number, not '0.05x' (see torvan --help)\n"},
      {"--alpha 0.05 --alpha 0.01", "torvan: --alpha is given more than once (see torvan "
                                    "--help)\n"},
      {"--minority 2 --format report",
       "torvan: the classic report describes binomial pools; with --minority use --format "
       "summary, csv, json or joint (see torvan --help)\n"},
      {"--batch --format summary",
       "torvan: --batch writes JSON lines, not another format (see torvan --help)\n"},
      {"--rows some", "torvan: --rows must be all or none, not 'some' (see torvan --help)\n"},
      {"--format csv --rows none", "torvan: --rows none is for --format json and --batch; the "
                                   "other formats need no choice (see torvan --help)\n"},
  };
  for (const auto &c : cases) {
    const run_result r = run_torvan("4 2 0 0.5\n", c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
    EXPECT_EQ(r.err, c.message) << c.args;
  }
}

TEST(Cli, HelpAndVersion) {
  const run_result help = run_torvan("", "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: torvan [--method nested|direct]"));
  for (const char *topic : {"ntot", "PVAI", "--version", "Exit status", "3  an integral", "--batch",
                            "--format json", "--plot"})
    EXPECT_NE(help.out.find(topic), std::string::npos) << topic;
  const run_result version = run_torvan("", "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.starts_with("torvan ")) << version.out;
  EXPECT_NE(version.out.find("GNU Scientific Library 2."), std::string::npos) << version.out;
}

// A known pool: the summary unless another format is asked for; a count
// beyond the pool is a bad option once ntot is known; alpha at its edges.
TEST(Cli, KnownPoolAndAlpha) {
  const run_result summary = run_torvan("10 3 0 0.5\n", "--minority 4 --method direct");
  EXPECT_EQ(summary.status, 0);
  EXPECT_TRUE(summary.out.starts_with("TORVAN: sampling distribution")) << summary.out;
  EXPECT_NE(summary.out.find("known, 4 minority and 6 majority"), std::string::npos);
  const run_result batch = run_torvan("10 3 0 0.5\n3 1 0 0.5\n", "--batch --minority 4");
  EXPECT_EQ(batch.status, 1); // the second line's pool is too small
  EXPECT_NE(batch.out.find("\"minority\":4"), std::string::npos) << batch.out;
  EXPECT_NE(batch.out.find("minority = 4 must lie between 0 and ntot = 3"), std::string::npos);
  const run_result beyond = run_torvan("10 3 0 0.5\n", "--minority 11");
  EXPECT_EQ(beyond.status, 2);
  EXPECT_EQ(beyond.out, "");
  EXPECT_EQ(beyond.err, "torvan: --minority = 11 must lie between 0 and ntot = 10\n");
  for (const char *alpha : {"1e-300", "0.999999999"}) {
    const run_result r = run_torvan("10 3 0 0.5\n", std::string("--format json --alpha ") + alpha);
    EXPECT_EQ(r.status, 0) << alpha;
    EXPECT_NE(r.out.find("\"alpha\": " + std::string(alpha)), std::string::npos) << r.out;
  }
}

// The direct method completes where the nested one gives up, and its
// cumulative column ends at 1 to the report's twelve decimals.
TEST(Cli, DirectReportsEndAtOne) {
  for (const char *input : {"12 3 3 0.5\n", "9 3 1.7 0.6\n", "200 50 -0.5 0.3\n", "50 10 -3 0.2\n",
                            "30 10 8 0.4\n", "40 39 -6 0.5\n", "5000 10 8 0.01\n"}) {
    const run_result r = run_torvan(input, "--method direct");
    EXPECT_EQ(r.status, 0) << input;
    EXPECT_EQ(r.err, "") << input;
    const auto rows_end = r.out.find("\n\nExpected value");
    ASSERT_NE(rows_end, std::string::npos) << input;
    const std::string last = r.out.substr(r.out.rfind('\n', rows_end - 1) + 1,
                                          rows_end - r.out.rfind('\n', rows_end - 1) - 1);
    EXPECT_NE(last.find(" 999999.90000 "), std::string::npos) << last;
    EXPECT_TRUE(last.ends_with("  1.000000000000")) << last;
  }
  EXPECT_EQ(run_torvan("12 3 3 0.5\n").status, 3);
}

// The summary is read on a terminal: every line within 80 columns, whatever
// the problem, and every figure it promises is there.
TEST(Cli, SummaryFitsEightyColumns) {
  const struct {
    const char *input, *method;
  } cases[] = {{"100 20 -1.0 0.2\n", "direct"},
               {"10 0 0 0.5\n", "direct"},
               {"12 3 3 0.5\n", "nested"}, // gives up
               {"60 59 -1 0.001\n", "direct"}};
  for (const auto &c : cases) {
    const run_result r = run_torvan(c.input, std::string("--format summary --method ") + c.method);
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
      EXPECT_LE(line.size(), 80U) << c.input << line;
  }
  const std::string page = run_torvan("100 20 -1.0 0.2\n", "--format summary --method direct").out;
  for (const char *topic : {"mean", "standard deviation", "no minority hired", "group absent",
                            "95th", "P(AI > 1.25)", "P(AI < 0.8)", "Fisher", "Morris",
                            "four-fifths rule but not Z test", "Z test but not four-fifths"})
    EXPECT_NE(page.find(topic), std::string::npos) << topic;
}

TEST(Cli, ThreadsOptionForms) {
  const std::string one = run_torvan("6 2 0.5 0.5\n", "--threads 1").out;
  for (const char *args : {"--threads=3", "--threads 64"}) {
    const run_result r = run_torvan("6 2 0.5 0.5\n", args);
    EXPECT_EQ(r.status, 0) << args;
    EXPECT_EQ(r.out.substr(0, r.out.find("CPU")), one.substr(0, one.find("CPU"))) << args;
  }
}

TEST(Cli, WindowsLineEndsReadLikeAnyOther) {
  const run_result crlf = run_torvan("4\r\n2\r\n0\r\n0.5\r\n");
  const run_result lf = run_torvan("4\n2\n0\n0.5\n");
  EXPECT_EQ(crlf.status, 0);
  const auto cut = [](const std::string &s) { return s.substr(0, s.find("CPU TIME")); };
  EXPECT_EQ(cut(crlf.out), cut(lf.out));
}

} // namespace

namespace {

// The chart comes on top of the unchanged report; a chart that cannot be
// written is a failure.
TEST(Cli, PlotBesideTheReport) {
  const std::string svg = (std::filesystem::temp_directory_path() /
                           ("torvan_plot_" + std::to_string(getpid()) + ".svg"))
                              .string();
  const run_result plain = run_torvan("10 3 0.5 0.3\n");
  const run_result with = run_torvan("10 3 0.5 0.3\n", "--plot " + svg);
  EXPECT_EQ(with.status, 0);
  EXPECT_EQ(with.out.substr(0, with.out.find("CPU")), plain.out.substr(0, plain.out.find("CPU")));
  const std::string chart = slurp(svg);
  std::filesystem::remove(svg);
  EXPECT_NE(chart.find("<svg"), std::string::npos);
  EXPECT_NE(chart.find("</svg>"), std::string::npos);
  const run_result full = run_torvan("10 3 0.5 0.3\n", "--plot /dev/full");
  EXPECT_EQ(full.status, 4);
  EXPECT_EQ(full.err, "torvan: could not write the chart to /dev/full: No space left on device\n");
}

} // namespace

namespace {

// Without rows, or where the table does not fit, the JSON carries the same
// figures as with them; the summary needs no table either.
TEST(Cli, FiguresWithoutTheTable) {
  using json = nlohmann::json;
  const std::string input = "300 60 -0.7 0.25\n";
  const json with = json::parse(run_torvan(input, "--method direct --format json").out);
  const run_result without = run_torvan(input, "--method direct --format json --rows none");
  ASSERT_EQ(without.status, 0) << without.err;
  const json figures = json::parse(without.out);
  EXPECT_FALSE(figures.contains("rows"));
  // The rules and P(undefined) add the same terms in the same order, and each
  // percentile is the table's entry: the same to the last bit. The table
  // gathers ratios a few roundings apart into one entry, the figures keep
  // each value: the sums over the ratios agree to 1e-12.
  for (const char *key :
       {"p_undefined", "undefined", "percentiles", "adverse_impact", "skipped_pool_weight"})
    EXPECT_EQ(figures[key].dump(), with[key].dump()) << key;
  for (const char *key : {"mean", "variance", "sd"})
    EXPECT_NEAR(figures["moments"][key].get<double>(), with["moments"][key].get<double>(), 1e-12)
        << key;
  for (const char *key : {"p_above_1_25", "p_below_0_8"})
    EXPECT_NEAR(figures[key].get<double>(), with[key].get<double>(), 1e-12) << key;

  // Far beyond any table: the summary and the JSON still give the figures.
  const std::string large = "100000 10000 -0.5 0.3\n";
  const run_result page = run_torvan(large, "--method direct --format summary");
  EXPECT_EQ(page.status, 0) << page.err;
  EXPECT_NE(page.out.find("mean ......"), std::string::npos) << page.out;
  const run_result asked = run_torvan(large, "--method direct --format json");
  EXPECT_EQ(asked.status, 0) << asked.err;
  const json doc = json::parse(asked.out);
  EXPECT_TRUE(doc["rows"].is_null());
  EXPECT_NE(doc["rows_omitted"].get<std::string>().find("need no table"), std::string::npos);
  EXPECT_GT(doc["moments"]["mean"].get<double>(), 2.0);
  const run_result report = run_torvan(large, "--method direct");
  EXPECT_EQ(report.status, 1);
  EXPECT_NE(report.err.find("the figures without the rows need no table"), std::string::npos);

  const run_result batch = run_torvan("300 60 -0.7 0.25\n100000 10000 -0.5 0.3\n",
                                      "--batch --method direct --rows none");
  EXPECT_EQ(batch.status, 0) << batch.err;
  std::istringstream lines(batch.out);
  std::string line;
  int documents = 0;
  while (std::getline(lines, line)) {
    const json d = json::parse(line);
    EXPECT_TRUE(d["completed"].get<bool>());
    EXPECT_FALSE(d.contains("rows"));
    ++documents;
  }
  EXPECT_EQ(documents, 2);
}

} // namespace

namespace {

// A problem the classic method gives up on: every format says so on standard
// error and names the direct method, which needs no such integral; the
// classic report's own lines do not change.
TEST(Cli, GivingUpPointsToTheDirectMethod) {
  const struct {
    const char *args;
    bool page_names_it; // the document on standard output names it too
  } cases[] = {{"", false}, {"--format summary", true}, {"--format json", true}};
  for (const auto &c : cases) {
    const run_result r = run_torvan("100 20 3 0.2\n", c.args);
    EXPECT_EQ(r.status, 3) << c.args;
    EXPECT_NE(r.err.find("could not be accepted"), std::string::npos) << c.args;
    EXPECT_NE(r.err.find("(the direct method, --method direct, needs no such integral)\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.find("--method direct") != std::string::npos, c.page_names_it) << c.args;
  }
}

} // namespace
