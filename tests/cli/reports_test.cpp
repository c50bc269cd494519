// Whole runs of the program against the reference reports in data/reports:
// standard output line for line (banner lines 11, 14, 15 and the CPU seconds
// are this program's own), exit status, and standard error.
#include <gtest/gtest.h>

#include "run_torvan.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path reports = fs::path(TORVAN_TEST_DATA) / "reports";

// Lines to compare: banner lines 11, 14 and 15 dropped, the CPU seconds blanked.
std::vector<std::string> comparable(const std::string &text) {
  std::vector<std::string> out;
  const auto all = lines_of(text);
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (i == 10 || i == 13 || i == 14) continue;
    const std::string cpu = "CPU TIME IN SECONDS ";
    out.push_back(all[i].rfind(cpu, 0) == 0 ? cpu + "<seconds>" : all[i]);
  }
  return out;
}

bool starts_with(const std::string &s, const std::string &prefix) {
  return s.rfind(prefix, 0) == 0;
}

// The reference stops at the column-title line before computing a meaningless
// report; this program refuses there.
std::string through_column_titles(const std::string &text) {
  const std::string titles = "       N          VAI            PVAI           CPVAI\n";
  const auto at = text.find(titles);
  return at == std::string::npos ? text : text.substr(0, at + titles.size());
}

bool one_clear_line(const std::string &err) {
  return starts_with(err, "torvan: ") && std::count(err.begin(), err.end(), '\n') == 1;
}

class Report : public ::testing::TestWithParam<std::string> {};

TEST_P(Report, MatchesReference) {
  const std::string name = GetParam();
  const run_result got = run_torvan_file(reports / (name + ".in"));
  std::string want_out = slurp(reports / (name + ".stdout"));
  const std::string want_err = slurp(reports / (name + ".stderr"));

  if (starts_with(name, "rd_")) { // malformed input: message, status 2, no report
    EXPECT_EQ(got.out, "");
    EXPECT_EQ(got.err, want_err);
    EXPECT_EQ(got.status, 2);
    return;
  }
  if (starts_with(name, "odd_prop")) want_out = through_column_titles(want_out);
  EXPECT_EQ(comparable(got.out), comparable(want_out));
  if (starts_with(name, "err_dpsort_") || starts_with(name, "odd_prop")) {
    EXPECT_TRUE(one_clear_line(got.err)) << got.err;
    EXPECT_EQ(got.status, 1);
  } else if (starts_with(name, "ext_early_")) {
    EXPECT_TRUE(one_clear_line(got.err)) << got.err;
    EXPECT_EQ(got.status, 3);
  } else {
    EXPECT_EQ(got.err, want_err);
    EXPECT_EQ(got.status, 0);
  }
}

// The pools are computed in parallel but merged in order: the report does not
// depend on the thread count, diagnostic lines and early ends included.
class ThreadCount : public ::testing::TestWithParam<std::string> {};

TEST_P(ThreadCount, SameReport) {
  const std::string name = GetParam();
  const fs::path in = reports / (name + ".in");
  const auto one = comparable(run_torvan_file(in, "--threads 1").out);
  EXPECT_EQ(comparable(run_torvan_file(in, "--threads 3").out), one);
  EXPECT_EQ(comparable(run_torvan_file(in, "--threads 8").out), one);
}

std::vector<std::string> cases(const std::vector<std::string> &prefixes = {""}) {
  std::vector<std::string> names;
  for (const auto &e : fs::directory_iterator(reports)) {
    const std::string name = e.path().stem().string();
    if (e.path().extension() != ".in") continue;
    for (const auto &p : prefixes)
      if (starts_with(name, p)) {
        names.push_back(name);
        break;
      }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string test_name(const ::testing::TestParamInfo<std::string> &info) {
  std::string n = info.param;
  for (char &c : n)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return n;
}

INSTANTIATE_TEST_SUITE_P(Reference, Report, ::testing::ValuesIn(cases()), test_name);
INSTANTIATE_TEST_SUITE_P(DiagnosticsAndEarlyEnds, ThreadCount,
                         ::testing::ValuesIn(cases({"diag_", "ext_", "ex_"})), test_name);

} // namespace
