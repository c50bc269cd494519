// torvan audit --groups and --events with groups as a user runs them: every
// refusal with its line and nothing on standard output, the page within 80
// columns, and two groups giving the two-group audit's numbers.
#include <gtest/gtest.h>

#include "run_torvan.h"

#include <string>

#include <nlohmann/json.hpp>

namespace {

const std::string header = "group,applicants,hires\n";
const std::string events = "event,group,applicants,hires\n";

TEST(GroupsCli, RefusesBadFilesByLine) {
  const struct {
    std::string input, args, message;
  } cases[] = {
      {header + "A,10,2\nB,5,1\nA,7,1\n", "",
       "line 4: the group 'A' is named twice (first on line 2)"},
      {header + "A,10,2\n", "", "there must be at least two groups to compare, not 1"},
      {header + "A,10,2\nB,-5,1\n", "", "line 3: applicants = -5 is negative"},
      {header + "A,10,2\nB,5,1.5\n", "", "line 3: hires must be a whole number, not '1.5'"},
      {header + "A,10,2\nB,5,6\n", "", "line 3: hires = 6 is more than applicants = 5"},
      {header + "A,10,0\n\nB,5,0\n", "",
       "nobody was hired: the tests of equal selection rates are undefined"},
      {header + "A,10,10\nB,5,5\n", "",
       "everybody was hired: the tests of equal selection rates are undefined"},
      {header + "A,10,2\nB,5,1\n", "--reference C", "the reference 'C' is not one of the groups"},
      {header + "A,0,0\nB,5,1\n", "",
       "line 2: the group has no applicants: its selection rate is undefined"},
      {"group,n,hires\nA,10,2\n", "",
       "line 1: the header must be group,applicants,hires, not 'group,n,hires'"},
      {"", "",
       "the groups file is empty: its first line must be the header group,applicants,hires"},
  };
  for (const auto &c : cases) {
    const run_result r = run_torvan(c.input, "audit --groups - " + c.args);
    EXPECT_EQ(r.status, 2) << c.input;
    EXPECT_EQ(r.err, "torvan audit: " + c.message + "\n") << c.input;
    EXPECT_EQ(r.out, "") << c.input;
  }
  const struct {
    std::string input, message;
  } event_cases[] = {
      {events + "2023,A,10,2\n2023,B,5,1\n2024,A,7,1\n2024,A,6,1\n",
       "line 5: the group 'A' is named twice in event 2 (2024) (first on line 4)"},
      {events + "2023,A,10,2\n2023,B,5,1\n2024,B,7,1\n2024,C,6,1\n",
       "event 2 (2024): the reference, A, is not among its groups (the highest selection rate over "
       "all events; name a reference present in every event)"},
      {events + "2023,A,10,2\n2023,B,5,1\n2024,A,7,0\n2024,B,6,0\n",
       "event 2 (2024): nobody was hired: the tests of equal selection rates are undefined"},
  };
  for (const auto &c : event_cases) {
    const run_result r = run_torvan(c.input, "audit --events -");
    EXPECT_EQ(r.status, 2) << c.input;
    EXPECT_EQ(r.err, "torvan audit: " + c.message + "\n") << c.input;
    EXPECT_EQ(r.out, "") << c.input;
  }
  const run_result both = run_torvan("", "audit --groups - --events x.csv");
  EXPECT_EQ(both.err,
            "torvan audit: give --groups or --events, not both (see torvan audit --help)\n");
}

TEST(GroupsCli, TwoGroupsGiveTheTwoGroupAudit) {
  const run_result pair = run_torvan("", "audit --format json 50 5 150 30");
  const run_result groups = run_torvan("group\tapplicants\thires\nmin\t50\t5\nmaj\t150\t30\n",
                                       "audit --format json --groups -");
  ASSERT_EQ(groups.status, 0) << groups.err;
  const auto want = nlohmann::json::parse(pair.out);
  auto got = nlohmann::json::parse(groups.out)["groups"][0]["versus_reference"];
  for (const char *field : {"observed", "rates", "impact_ratio", "ai", "four_fifths", "shortfall",
                            "impact_ratio_ci", "implied_esize"})
    EXPECT_EQ(got[field], want[field]) << field;
  EXPECT_EQ(got["fisher_exact"]["p_two_sided_holm"], want["fisher_exact"]["p_two_sided"]);
}

TEST(GroupsCli, PagesWithin80Columns) {
  const std::string file = header +
                           "\"A very long group name, with a comma, that runs on and on\",120,48\n"
                           "B\x1b,80,20\nC,60,18\nD,40,17\nE,1,0\n";
  const run_result r = run_torvan(file, "audit --groups -");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const std::string &l : lines_of(r.out))
    EXPECT_LE(l.size(), 80u) << l;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  const run_result e = run_torvan(
      events + "2023,A,50,20\n2023,B,40,8\n2024,A,60,25\n2024,B,45,12\n", "audit --events -");
  ASSERT_EQ(e.status, 0) << e.err;
  for (const std::string &l : lines_of(e.out))
    EXPECT_LE(l.size(), 80u) << l;
  EXPECT_NE(e.out.find("B against A across the 2 events with both"), std::string::npos);
}

} // namespace
