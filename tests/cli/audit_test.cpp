// torvan audit as a user runs it: counts as arguments or on standard input,
// the events file, every refusal with its message and status, the page
// within 80 columns. (docs/audit.md's examples are run by docs_examples.py.)
#include <gtest/gtest.h>

#include "run_torvan.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/counts.h"

namespace {

const std::string header = std::string(events_header) + "\n";

void expect_within_80(const std::string &text, const std::string &what) {
  for (const std::string &l : lines_of(text))
    EXPECT_LE(l.size(), 80u) << what << ": " << l;
}

TEST(AuditCli, RefusesBadCountsAndOptions) {
  const struct {
    const char *args, *input, *message;
  } cases[] = {
      {"audit -1 0 5 3", "", "minority_applicants = -1 is negative"},
      {"audit 5 6 5 3", "", "minority_hires = 6 is more than minority_applicants = 5"},
      {"audit 5 2 5 6", "", "majority_hires = 6 is more than majority_applicants = 5"},
      {"audit 0 0 0 0", "", "there must be at least one applicant"},
      {"audit 5 2.5 5 3", "", "minority_hires must be a whole number, not '2.5'"},
      {"audit 5 2 5 3e0", "", "majority_hires must be a whole number, not '3e0'"},
      {"audit 5 2 five 3", "", "majority_applicants must be a whole number, not 'five'"},
      {"audit 99999999999 1 2 3", "",
       "minority_applicants = 99999999999 is beyond the range of a count"},
      {"audit 60000 1 50000 2", "",
       "minority_applicants + majority_applicants = 110000 is more than the 100000 applicants "
       "an audit takes"},
      {"audit 1 2 3", "",
       "expected the four counts minority_applicants minority_hires majority_applicants "
       "majority_hires, found 3 (see torvan audit --help)"},
      {"audit", "5 2 5\n",
       "expected the four counts minority_applicants minority_hires majority_applicants "
       "majority_hires, found 3"},
      {"audit", "",
       "expected the four counts minority_applicants minority_hires "
       "majority_applicants majority_hires, found 0"},
      {"audit", "5 2 5 3 7\n",
       "expected the four counts minority_applicants minority_hires "
       "majority_applicants majority_hires, found 5"},
      {"audit", "5,x,5,3", "minority_hires must be a whole number, not 'x'"},
      {"audit --alpha 1 5 2 5 3", "",
       "--alpha needs a number strictly between 0 and 1, not '1' (see torvan audit --help)"},
      {"audit --format report 5 2 5 3", "",
       "--format must be text or json, not 'report' (see torvan audit --help)"},
      {"audit --bogus", "", "unknown option '--bogus' (see torvan audit --help)"},
      {"audit --events", "", "--events needs a value (see torvan audit --help)"},
      {"audit --events - 5 2 5 3", "",
       "give the four counts or --events, not both (see torvan audit --help)"},
      {"audit --events /nonexistent.csv", "",
       "cannot read /nonexistent.csv: No such file or directory"},
  };
  for (const auto &c : cases) {
    const run_result r = run_torvan(c.input, c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.err, "torvan audit: " + std::string(c.message) + "\n") << c.args;
    EXPECT_EQ(r.out, "") << c.args;
  }
}

TEST(AuditCli, RefusesABadEventsFileByLine) {
  const struct {
    std::string csv, message;
  } cases[] = {
      {"", "the events file is empty: its first line must be the header " + header},
      {header, "the events file has its header but no events\n"},
      {"event,n1,x,n0,y\n2023,5,2,5,3\n", "line 1: the header must be " +
                                              header.substr(0, header.size() - 1) +
                                              ", not 'event,n1,x,n0,y'\n"},
      {header + "2023,5,2,5,3\n2024,5,2,5\n", "line 3: 4 fields where the header has 5\n"},
      {header + "2023,5,2,5,3\n\n2024,5,7,5,3\n",
       "line 4: minority_hires = 7 is more than minority_applicants = 5\n"},
      {header + "2023,5,2,-5,3\n", "line 2: majority_applicants = -5 is negative\n"},
      {header + "2023,5,two,5,3\r\n", "line 2: minority_hires must be a whole number, not 'two'\n"},
      {header + "\"2023,5,2,5,3\n", "line 2: a quoted field opened here has no closing quote\n"},
      {header + "\"20\"23,5,2,5,3\n",
       "line 2: a quoted field goes on after its closing quote (a quote inside a quoted field is "
       "written twice: \"\")\n"},
      {header + "2023,5.5,2,5,3\n",
       "line 2: minority_applicants must be a whole number, not '5.5'\n"},
      {header + "2023,\xEF\xBB\xBF"
                "5,2,5,3\n",
       "line 2: minority_applicants must be a whole number, not '\\u{FEFF}5'\n"},
  };
  for (const auto &c : cases) {
    const run_result r = run_torvan(c.csv, "audit --events -");
    EXPECT_EQ(r.status, 2) << c.csv;
    EXPECT_EQ(r.err, "torvan audit: " + c.message) << c.csv;
    EXPECT_EQ(r.out, "") << c.csv;
  }
}

// Events as spreadsheets save them or as cells are pasted read like the
// plain file.
TEST(AuditCli, EventsFromSpreadsheetsReadAsThePlainFile) {
  const std::string plain = header + "2023,50,5,150,30\n\"Site \"\"B\"\", 2024\",40,8,60,20\n";
  const run_result expected = run_torvan(plain, "audit --format json --events -");
  ASSERT_EQ(expected.status, 0) << expected.err;
  const std::string tsv_header =
      "event\tminority_applicants\tminority_hires\tmajority_applicants\tmajority_hires\n";
  const std::string variants[] = {
      tsv_header + "2023\t50\t5\t150\t30\nSite \"B\", 2024\t40\t8\t60\t20\n",
      header + "2023,50,5,150,30,,\n,,,,\n\"Site \"\"B\"\", 2024\",40,8,60,20\n,,,,\n",
      "\xEF\xBB\xBF" + header + "2023,50.0,5,150,30\r\"Site \"\"B\"\", 2024\",40,8,60,20\r",
  };
  for (const std::string &csv : variants) {
    const run_result r = run_torvan(csv, "audit --format json --events -");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expected.out) << csv;
  }
}

TEST(AuditCli, CountsFromStandardInputAreTheArguments) {
  const run_result args = run_torvan("", "audit --format json 50 5 150 30");
  ASSERT_EQ(args.status, 0) << args.err;
  for (const char *input : {"50 5 150 30\n", "50,5\n150\t30", " 50 , 5 , 150 , 30 \r\n"}) {
    const run_result in = run_torvan(input, "audit --format json");
    EXPECT_EQ(in.status, 0) << in.err;
    EXPECT_EQ(in.out, args.out) << input;
  }
}

// A user who types the counts and Enter gets the page: nothing is read
// beyond the line that holds the fourth.
TEST(AuditCli, ReadsNoFurtherThanTheLineOfTheFourthCount) {
  char text[] = "1 0\n\n1 1\nnext line\n";
  std::FILE *in = fmemopen(text, sizeof text - 1, "r");
  ASSERT_NE(in, nullptr);
  const counts_reading r = read_counts(in, 0.05);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.counts.majority_hires, 1);
  char rest[32] = {};
  EXPECT_NE(std::fgets(rest, sizeof rest, in), nullptr);
  EXPECT_STREQ(rest, "next line\n");
  std::fclose(in);
}

TEST(AuditCli, TheJsonDocumentHasEveryFigure) {
  const run_result r = run_torvan("", "audit --format json --alpha 0.1 10 0 10 5");
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json d = nlohmann::json::parse(r.out);
  std::vector<std::string> keys;
  for (const auto &[k, v] : d.items())
    keys.push_back(k);
  const std::vector<std::string> want = {
      "program",      "version", "command",         "alpha",        "observed",  "rates",
      "impact_ratio", "ai",      "ai_reason",       "four_fifths",  "shortfall", "z_test",
      "fisher_exact", "z_ir",    "impact_ratio_ci", "implied_esize"};
  std::vector<std::string> sorted_keys = keys, sorted_want = want;
  std::sort(sorted_keys.begin(), sorted_keys.end());
  std::sort(sorted_want.begin(), sorted_want.end());
  EXPECT_EQ(sorted_keys, sorted_want);
  EXPECT_EQ(d["alpha"], 0.1);
  EXPECT_EQ(d["observed"]["majority_hires"], 5);
  EXPECT_EQ(d["four_fifths"]["hires_to_pass"], 4);
  EXPECT_TRUE(d["z_ir"]["flags"]);
  EXPECT_TRUE(d["z_ir"]["z"].is_null());
  EXPECT_TRUE(d["implied_esize"]["lower"].is_null());
  EXPECT_TRUE(d["implied_esize"]["upper"].is_number());
  EXPECT_NEAR(d["implied_esize"]["level"].get<double>(), 0.9, 1e-15);
}

TEST(AuditCli, EventsFromAFileAndFromStandardInput) {
  const std::string csv = "\xEF\xBB\xBF" + header +
                          "2023,50,5,150,30\r\n\"Site \"\"B\"\", 2024\","
                          "40,6,160,35\n\nnobody,10,0,10,0\n";
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "torvan_events.csv";
  std::ofstream(file, std::ios::binary) << csv;
  const run_result from_file = run_torvan("", "audit --format json --events " + file.string());
  std::filesystem::remove(file);
  ASSERT_EQ(from_file.status, 0) << from_file.err;
  EXPECT_EQ(run_torvan(csv, "audit --format json --events -").out, from_file.out);
  const nlohmann::json d = nlohmann::json::parse(from_file.out);
  ASSERT_EQ(d["events"].size(), 3u);
  EXPECT_EQ(d["events"][1]["event"], "Site \"B\", 2024");
  EXPECT_EQ(d["total"]["minority_applicants"], 100);
  EXPECT_EQ(d["common_implied_esize"]["events_used"], 2);
  EXPECT_TRUE(d["mantel_haenszel"]["odds_ratio"].is_number());
  const run_result page = run_torvan(csv, "audit --events -");
  EXPECT_EQ(page.status, 0);
  expect_within_80(page.out, "events page");
}

TEST(AuditCli, PagesAndHelpWithin80Columns) {
  for (const char *counts : {"50 5 150 30", "0 0 10 3", "10 3 0 0", "5 5 5 0", "10 10 10 10",
                             "1 0 5 3", "3000 200 7000 800", "10 0 10 0"}) {
    const run_result r = run_torvan("", std::string("audit ") + counts);
    EXPECT_EQ(r.status, 0) << counts << r.err;
    expect_within_80(r.out, counts);
  }
  const run_result help = run_torvan("", "audit --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: torvan audit"), std::string::npos);
  expect_within_80(help.out, "--help");
}

TEST(AuditCli, FullOutputIsAFailure) {
  const run_result r = run_torvan("", "audit 50 5 150 30", "/dev/full");
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("could not write the output"), std::string::npos) << r.err;
}

} // namespace
