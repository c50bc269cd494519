// torvan plan as a user runs it: every row of its JSON is the single problem's
// --format json --rows none to the last digit, the page within 80 columns and
// worded for false positives at esize 0, rows that cannot be computed, the
// chart, and every bad option refused with status 2.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "run_torvan.h"
#include "xml_check.h"

namespace {

using json = nlohmann::json;

run_result plan(const std::string &args) {
  return run_torvan("", "plan " + args);
}

// The single problem as the classic command line computes it.
json single(int ntot, int nhire, const std::string &pool, const std::string &args) {
  const run_result r = run_torvan(std::to_string(ntot) + " " + std::to_string(nhire) + " " + pool,
                                  "--format json --rows none " + args);
  EXPECT_EQ(r.status, 0) << r.err;
  return json::parse(r.out);
}

// JSON numbers as text: the same text is the same double, and the other way.
std::string text(const json &v) {
  return v.dump();
}

TEST(PlanCli, RowsAreTheSingleProblemsJson) {
  const struct {
    std::string plan_args, pool; // pool: esize and prop as the single problem reads them
    bool known;
    std::string method;
  } cases[] = {
      {"--esize -0.3 --prop 0.3 --selection-ratio 0.2 --ntot 10:200:38", "-0.3 0.3", false,
       "direct"},
      {"--esize 0.5 --minority-share 0.25 --nhire 9 --ntot 20:120:25 --alpha 0.1", "0.5 0.5", true,
       "direct"},
      {"--esize -1 --prop 0.4 --selection-ratio 0.3 --ntot 6:14:4 --method nested", "-1 0.4", false,
       "nested"},
  };
  for (const auto &c : cases) {
    const run_result r = plan(c.plan_args + " --format json --threads 2");
    ASSERT_EQ(r.status, 0) << r.err;
    const json doc = json::parse(r.out);
    EXPECT_EQ(doc["command"], "plan");
    EXPECT_EQ(doc["plan"]["method"], c.method);
    const std::string alpha = doc["plan"]["alpha"].dump();
    ASSERT_FALSE(doc["rows"].empty());
    for (const json &row : doc["rows"]) {
      ASSERT_TRUE(row["completed"].get<bool>()) << row.dump();
      const int ntot = row["ntot"], nhire = row["nhire"];
      std::string args = "--method " + c.method + " --alpha " + alpha;
      if (c.known) args += " --minority " + std::to_string(row["minority"].get<int>());
      const json one = single(ntot, nhire, c.pool, args);
      for (const char *rule : {"four_fifths", "four_fifths_one_person", "z_test", "fisher_exact",
                               "z_ir", "four_fifths_and_z"})
        EXPECT_EQ(text(row[rule]), text(one["adverse_impact"][rule])) << rule << " " << ntot;
      EXPECT_EQ(text(row["p_above_1_25"]), text(one["p_above_1_25"])) << ntot;
      EXPECT_EQ(text(row["p_undefined"]), text(one["p_undefined"])) << ntot;
      if (!c.known) {
        const double prop = doc["plan"]["prop"];
        // prop ntot to 15 significant digits: 0.3 x 48 is 14.4, not 14.399999999999999.
        EXPECT_NEAR(row["expected_minority"].get<double>(), prop * ntot, 1e-14 * prop * ntot);
        EXPECT_LE(row["expected_minority"].dump().size(), 16u) << row["expected_minority"];
      }
    }
  }
}

std::size_t widest_line(const std::string &s) {
  std::istringstream in(s);
  std::size_t widest = 0;
  for (std::string line; std::getline(in, line);)
    widest = std::max(widest, line.size());
  return widest;
}

bool has(const std::string &s, const std::string &what) {
  return s.find(what) != std::string::npos;
}

TEST(PlanCli, ThePageFitsAndSaysWhatItShows) {
  const run_result power = plan("--esize -0.5 --prop 0.2 --selection-ratio 0.25 --ntot 10:400:30");
  ASSERT_EQ(power.status, 0) << power.err;
  EXPECT_LE(widest_line(power.out), 80u) << power.out;
  EXPECT_TRUE(has(power.out, "Where each rule's probability reaches the target 0.8"));
  EXPECT_FALSE(has(power.out, "false-positive"));
  const run_result null = plan("--esize 0 --minority-share 0.2 --selection-ratio 0.25 --ntot "
                               "100000:9999999:4949999 --target 0.05 --rule fisher_exact");
  ASSERT_EQ(null.status, 0) << null.err;
  EXPECT_LE(widest_line(null.out), 80u) << null.out;
  EXPECT_TRUE(has(null.out, "every probability below is the rule's\nfalse-positive rate"))
      << null.out;
  EXPECT_TRUE(has(null.out, "Where each rule's false-positive rate reaches the target 0.05"));
}

// Runs of blanks and line ends as one blank: the page wraps long reasons.
std::string words(const std::string &s) {
  std::istringstream in(s);
  std::string out, word;
  while (in >> word)
    out += (out.empty() ? "" : " ") + word;
  return out;
}

TEST(PlanCli, RowsThatCannotBeComputedSaySoInEveryFormat) {
  const std::string args = "--esize -1 --minority-share 0.5 --nhire 13 --ntot 10:14:2";
  const run_result page = plan(args);
  EXPECT_EQ(page.status, 1);
  EXPECT_EQ(page.err, "torvan plan: 2 of 3 sizes could not be computed (the rows say why)\n");
  EXPECT_LE(widest_line(page.out), 80u);
  EXPECT_TRUE(has(words(page.out), "10 13 5 not computed: nhire = 13 must lie between 0 and ntot "
                                   "= 10 12 13 6 not computed:"))
      << page.out;
  const run_result csv = plan(args + " --format csv");
  EXPECT_EQ(csv.status, 1);
  EXPECT_TRUE(has(csv.out, "\n12,13,6,,,,,,,,,,\"nhire = 13 must lie between 0 and ntot = 12\"\n"))
      << csv.out;
  const run_result doc = plan(args + " --format json");
  EXPECT_EQ(doc.status, 1);
  const json rows = json::parse(doc.out)["rows"];
  EXPECT_EQ(rows[0], json::parse(R"({"ntot": 10, "nhire": 13, "minority": 5, "completed": false,
                                     "error": "nhire = 13 must lie between 0 and ntot = 10"})"));
  EXPECT_FALSE(rows[0].contains("four_fifths"));
  EXPECT_TRUE(rows[2]["completed"].get<bool>());
}

TEST(PlanCli, CsvHasAHeaderAndARowPerSize) {
  const run_result r =
      plan("--esize -0.2 --prop 0.5 --nhire 3 --ntot 5:9 --rule z_test,four_fifths --format csv");
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream in(r.out);
  std::string header;
  std::getline(in, header);
  EXPECT_EQ(header, "ntot,nhire,expected_minority,four_fifths,z_test,p_above_1_25,p_undefined,"
                    "accuracy_shortfalls,error");
  int lines = 0;
  for (std::string line; std::getline(in, line); ++lines)
    EXPECT_EQ(line.substr(0, 4), std::to_string(5 + lines) + ",3,");
  EXPECT_EQ(lines, 5);
}

TEST(PlanCli, TheChartIsWrittenAndReadable) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("torvan_plan_" + std::to_string(getpid()));
  fs::create_directories(dir);
  for (const auto &[range, log] : {std::pair{"10:1000:50", false}, {"10:2000:50", true}}) {
    const fs::path svg = dir / "curves.svg";
    const run_result r = plan(std::string("--esize -0.3 --prop 0.3 --selection-ratio 0.2 --ntot ") +
                              range + " --plot " + svg.string());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string chart = slurp(svg);
    EXPECT_EQ(xml_fault(chart), "");
    EXPECT_EQ(has(chart, "(log scale)"), log) << range;
    EXPECT_TRUE(has(chart, "target 0.8"));
    if (std::system("command -v rsvg-convert >/dev/null 2>&1") == 0) {
      const std::string png = (dir / "curves.png").string();
      EXPECT_EQ(std::system(("rsvg-convert -o '" + png + "' '" + svg.string() + "'").c_str()), 0);
      EXPECT_EQ(slurp(png).substr(0, 8), "\x89PNG\r\n\x1a\n");
    }
  }
  const run_result bad =
      plan("--esize 0 --prop 0.3 --nhire 2 --ntot 5:6 --plot " + (dir / "no/such.svg").string());
  EXPECT_EQ(bad.status, 4);
  EXPECT_TRUE(has(bad.err, "torvan plan: could not write the chart to ")) << bad.err;
  fs::remove_all(dir);
}

TEST(PlanCli, BadOptionsAreRefusedWithStatusTwo) {
  // The options named as they are typed; each may be given once (but --rule).
  const std::string esize = "--esize -0.3 ", pool = "--prop 0.3 ", hires = "--selection-ratio 0.2 ",
                    ntot = "--ntot 10:20 ";
  const std::string good = esize + pool + hires + ntot;
  const struct {
    std::string args, message;
  } cases[] = {
      {pool + hires + ntot, "--esize is required"},
      {esize + pool + hires + "--ntot 20:10", "--ntot = 20:10 runs backwards: 20 is above 10"},
      {esize + pool + hires + "--ntot 10:20:0",
       "--ntot = 10:20:0 has a step of 0; it must be at least 1"},
      {esize + pool + hires + "--ntot 10-20",
       "--ntot must be A:B or A:B:STEP in whole numbers, not '10-20'"},
      {esize + pool + hires + "--ntot 10:20:",
       "--ntot must be A:B or A:B:STEP in whole numbers, not '10:20:'"},
      {esize + pool + ntot + "--selection-ratio 0",
       "--selection-ratio = 0 must lie above 0 and at most 1"},
      {esize + pool + ntot + "--selection-ratio 1.5",
       "--selection-ratio = 1.5 must lie above 0 and at most 1"},
      {good + "--nhire 4", "--selection-ratio and --nhire exclude each other: give one"},
      {good + "--minority-share 0.2", "--prop and --minority-share exclude each other: give one"},
      {"--esize 0 --minority-share 1.5 --nhire 2 --ntot 5:6",
       "--minority-share = 1.5 must lie between 0 and 1"},
      {"--esize 0 --minority-share -0.1 --nhire 2 --ntot 5:6",
       "--minority-share = -0.1 must lie between 0 and 1"},
      {good + "--target 1", "--target = 1 must lie strictly between 0 and 1"},
      {good + "--target=0", "--target = 0 must lie strictly between 0 and 1"},
      {esize + hires + ntot + "--prop 1.2", "--prop = 1.2 must lie strictly between 0 and 1"},
      {good + "--alpha 0", "--alpha = 0 must lie strictly between 0 and 1"},
      {pool + hires + ntot + "--esize nan", "--esize must be a number, not 'nan'"},
      {pool + hires + ntot + "--esize 1e999", "--esize must be a number, not '1e999'"},
      {pool + hires + ntot + "--esize abc", "--esize must be a number, not 'abc'"},
      {good + "--esize -0.2", "--esize is given more than once"},
      {good + "--alpha 0.1 --alpha=0.2", "--alpha is given more than once"},
      {good + "--rule z_test,chi",
       "--rule 'chi' is not one of four_fifths, four_fifths_one_person, "
       "z_test, fisher_exact, z_ir, four_fifths_and_z"},
      {good + "--rule z_test,", "--rule needs one name, or names separated by commas, not "
                                "'z_test,'"},
      {good + "--method exact", "--method must be nested or direct, not 'exact'"},
      {good + "--format summary", "--format must be text, csv or json, not 'summary'"},
      {good + "--threads 0", "--threads = 0 must be at least 1"},
      {good + "--minority 3", "unknown option '--minority'"},
      {esize + pool + hires + "--ntot", "--ntot needs a value"},
      {"", "--esize is required"},
  };
  for (const auto &c : cases) {
    const run_result r = plan(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.err, "torvan plan: " + c.message + " (see torvan plan --help)\n") << c.args;
    EXPECT_EQ(r.out, "") << c.args;
  }
}

// A sweep of ten thousand sizes or more says how many before it starts;
// nobody hired keeps each size quick.
TEST(PlanCli, ALargeSweepSaysHowManySizesItHolds) {
  const struct {
    const char *ntot, *err;
  } cases[] = {{"2:10001", "torvan plan: 10000 sizes to compute (ntot 2 to 10001); a larger step "
                           "draws the same curves from fewer sizes\n"},
               {"2:20001:2", "torvan plan: 10000 sizes to compute (ntot 2 to 20000); a larger "
                             "step draws the same curves from fewer sizes\n"},
               {"2:10000", ""}};
  for (const auto &c : cases) {
    const run_result r =
        plan(std::string("--esize -0.3 --prop 0.3 --nhire 0 --format csv --ntot ") + c.ntot);
    EXPECT_EQ(r.status, 0) << c.ntot;
    EXPECT_EQ(r.err, c.err) << c.ntot;
  }
}

TEST(PlanCli, HelpSaysWhatItDoes) {
  const run_result r = plan("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(has(r.out, "Usage: torvan plan"));
  EXPECT_LE(widest_line(r.out), 80u);
  for (const char *option :
       {"--esize", "--prop", "--minority-share", "--selection-ratio", "--nhire", "--ntot",
        "--alpha", "--target", "--rule", "--method", "--format", "--plot", "--threads"})
    EXPECT_TRUE(has(r.out, option)) << option;
}

} // namespace
