// The research outputs: threshold probabilities and percentiles, CSV and JSON
// documents, and batch runs of many problems.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/summary.h"
#include "engine/table.h"
#include "report/export.h"
#include "run_torvan.h"

namespace {

using vec = std::vector<double>;
using json = nlohmann::ordered_json;

TEST(Summary, ThresholdsCountNearValuesAsEqual) {
  const vec vai{0.5, 0.8 - 2e-9, 0.8 - 5e-10, 1.0, 1.25 + 5e-10, 1.25 + 2e-9, 3.0, UNDEF_AI};
  const vec pvai{0.01, 0.02, 0.04, 0.08, 0.16, 0.32, 0.07, 0.30};
  const ai_summary s = summarize(vai, pvai, ai_method::nested);
  EXPECT_DOUBLE_EQ(s.p_below, 0.01 + 0.02);
  EXPECT_DOUBLE_EQ(s.p_above, 0.32 + 0.07);
  EXPECT_DOUBLE_EQ(s.p_undefined, 0.30);
}

TEST(Summary, PercentilesOfTheDefinedRatio) {
  // Given that it is defined, the ratio is 0 w.p. 0.1, 1 w.p. 0.5, 2 w.p. 0.4.
  const vec vai{0.0, 0.5, 1.0, 2.0, UNDEF_AI};
  const vec pvai{0.05, 0.0, 0.25, 0.2, 0.5};
  const ai_summary s = summarize(vai, pvai, ai_method::nested);
  EXPECT_EQ(s.p5, 0.0);
  EXPECT_EQ(s.p50, 1.0); // reached exactly at 1: 0.1 + 0.5 >= 0.5
  EXPECT_EQ(s.p95, 2.0);
  const ai_summary none = summarize({0.0, UNDEF_AI}, {0.0, 1.0}, ai_method::nested);
  EXPECT_TRUE(std::isnan(none.p5) && std::isnan(none.p50) && std::isnan(none.p95));
}

solution tiny() {
  solution s;
  s.vai = {0.0, 1.0 / 3.0, UNDEF_AI};
  s.pvai = {0.25, 0.125, 0.5};
  return s;
}

TEST(Csv, RowsAtFullPrecision) {
  EXPECT_EQ(csv_document(tiny()), "n,ai,defined,probability,cumulative\n"
                                  "1,0,true,0.25,0.25\n"
                                  "2,0.3333333333333333,true,0.125,0.375\n"
                                  "3,,false,0.5,0.875\n");
  solution failed = tiny();
  failed.status.gave_up = true;
  EXPECT_EQ(csv_document(failed), csv_header);
  solution cancelled = tiny();
  cancelled.status.cancelled = true;
  EXPECT_EQ(csv_document(cancelled), csv_header);
}

// The rows written a few thousand at a time make the same text as the whole
// document dumped at once, at every indent, for tables of any length.
TEST(Json, WrittenRowsAreTheDumpedDocument) {
  solution failed = tiny();
  failed.status.gave_up = true;
  solution empty;
  std::vector<solution> tables{tiny(), failed, empty};
  solve_options direct;
  direct.method = ai_method::direct;
  const problem p{200, 50, -0.5, 0.3};
  tables.push_back(solve(p, direct)); // beyond one piece of 4096 rows
  ASSERT_GT(tables.back().vai.size(), 4096u);
  for (const solution &s : tables)
    for (int indent : {-1, 0, 2, 4}) {
      std::string written;
      int pieces = 0;
      write_json(p, direct, s, {2, 0.5}, indent, [&](const std::string &t) {
        written += t;
        ++pieces;
      });
      EXPECT_EQ(written, json_document(p, direct, s, {2, 0.5}).dump(indent))
          << indent << " " << s.vai.size();
      EXPECT_EQ(pieces, 1 + static_cast<int>(completed(s.status) ? s.vai.size() / 4096 : 0));
    }
}

TEST(Json, CompleteGivenUpAndCancelledDocuments) {
  const problem p{4, 2, 0.0, 0.5};
  const json doc = json_document(p, {}, tiny(), {2, 0.5});
  EXPECT_EQ(doc["completed"], true);
  EXPECT_EQ(doc["problem"]["ntot"], 4);
  ASSERT_EQ(doc["rows"].size(), 3u);
  EXPECT_EQ(doc["rows"][2]["ai"], nullptr);
  EXPECT_EQ(doc["rows"][2]["defined"], false);
  EXPECT_EQ(doc["rows"][1]["ai"].get<double>(), 1.0 / 3.0); // round trip
  EXPECT_EQ(doc["p_undefined"], 0.5);
  EXPECT_EQ(doc["threads"], 2);
  EXPECT_EQ(doc["moments"]["mean"].get<double>(), (0.125 / 3.0) / 0.375);

  solution none = tiny();
  none.pvai = {0.0, 0.0, 1.0};
  EXPECT_EQ(json_document(p, {}, none, {})["moments"]["mean"], nullptr); // NaN is null

  solution failed = tiny();
  failed.status = {true, 2, 1, 0, 0.0};
  const json f = json_document(p, {}, failed, {});
  EXPECT_EQ(f["completed"], false);
  EXPECT_FALSE(f.contains("rows"));
  EXPECT_NE(f["reason"].get<std::string>().find("pool nmin = 2"), std::string::npos);

  solution cancelled = tiny();
  cancelled.status.cancelled = true;
  const json c = json_document(p, {}, cancelled, {});
  EXPECT_EQ(c["completed"], false);
  EXPECT_FALSE(c.contains("rows"));
  EXPECT_FALSE(c.contains("adverse_impact"));
  EXPECT_NE(c["reason"].get<std::string>().find("cancelled"), std::string::npos);
}

// The joint distribution, summed over the outcomes that share a ratio, is the
// table; the JSON document's undefined split adds up to P(undefined), and the
// accuracy warning names the pool that fell short.
TEST(Joint, SumsToTheTable) {
  const problem p{30, 8, -0.7, 0.4};
  solve_options o;
  o.method = ai_method::direct;
  o.keep_joint = true;
  solution s = solve(p, o);
  std::istringstream rows(joint_document(p, o, s));
  std::string line;
  std::getline(rows, line);
  EXPECT_EQ(line + '\n', joint_header);
  vec sums(s.vai.size(), 0.0);
  while (std::getline(rows, line)) {
    std::vector<std::string> f;
    std::istringstream cells(line);
    for (std::string c; std::getline(cells, c, ',');)
      f.push_back(c);
    ASSERT_EQ(f.size(), 9U) << line;
    const double ai = f[3].empty() ? UNDEF_AI : std::stod(f[3]);
    const auto at = std::lower_bound(s.vai.begin(), s.vai.end() - 1, ai - 1e-13) - s.vai.begin();
    ASSERT_NEAR(s.vai[static_cast<std::size_t>(at)], ai, 1e-13) << line;
    sums[static_cast<std::size_t>(at)] += std::stod(f[2]);
    if (f[3].empty() && f[1] == "0" && f[0] != "0") { // no minority hired: z_ir flags
      EXPECT_EQ(f[8], "true") << line;
    }
  }
  for (std::size_t i = 0; i < sums.size(); ++i)
    EXPECT_NEAR(sums[i], s.pvai[i], 1e-15 + 1e-13 * s.pvai[i]) << i;

  s.events.push_back({.what = pool_event::kind::accuracy_shortfall, .nmin = 7, .raw = 4.0});
  const json doc = json_document(p, o, s, {});
  EXPECT_EQ(doc["method"], "direct");
  EXPECT_NEAR(doc["undefined"]["no_minority_hired"].get<double>() +
                  doc["undefined"]["group_absent"].get<double>(),
              doc["p_undefined"].get<double>(), 1e-15);
  EXPECT_EQ(doc["accuracy_warning"][0]["minority_applicants"], 7);
  EXPECT_EQ(doc["adverse_impact"]["alpha"], 0.05);
}

// The three forms of one run carry the same distribution.
TEST(Formats, CsvAndJsonAgreeWithTheReport) {
  const std::string input = "10 3 0.5 0.3\n";
  const run_result report = run_torvan(input);
  const run_result csv = run_torvan(input, "--format csv");
  const run_result js = run_torvan(input, "--format=json");
  ASSERT_EQ(csv.status, 0);
  ASSERT_EQ(js.status, 0);
  EXPECT_EQ(csv.err, "");
  const json doc = json::parse(js.out);
  std::istringstream rows(csv.out);
  std::string line;
  std::getline(rows, line);
  EXPECT_EQ(line, "n,ai,defined,probability,cumulative");
  std::size_t n = 0;
  for (; std::getline(rows, line); ++n) {
    const json &row = doc["rows"][n];
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string x; std::getline(fields, x, ',');)
      f.push_back(x);
    ASSERT_EQ(f.size(), 5u) << line;
    EXPECT_EQ(f[1].empty(), row["ai"].is_null()) << line;
    EXPECT_EQ(f[2], row["defined"].get<bool>() ? "true" : "false");
    if (!f[1].empty()) {
      EXPECT_EQ(std::stod(f[1]), row["ai"].get<double>());
    }
    EXPECT_EQ(std::stod(f[3]), row["probability"].get<double>());
    EXPECT_EQ(std::stod(f[4]), row["cumulative"].get<double>());
    // The report's row: the same probability to its printed digits.
    char printed[16];
    std::snprintf(printed, sizeof printed, "%8zu", n + 1);
    EXPECT_NE(report.out.find(printed), std::string::npos);
  }
  EXPECT_EQ(n, doc["rows"].size());
  EXPECT_NE(report.out.find(std::to_string(n) + " 999999.90000"), std::string::npos);
}

TEST(Formats, EarlyEndAndRefusal) {
  const run_result js = run_torvan("30 3 2 0.5\n", "--format json"); // gives up on an integral
  EXPECT_EQ(js.status, 3);
  const json doc = json::parse(js.out);
  EXPECT_EQ(doc["completed"], false);
  EXPECT_FALSE(doc.contains("rows"));
  EXPECT_TRUE(js.err.starts_with("torvan: the integral for pool")) << js.err;
  const run_result csv = run_torvan("30 3 2 0.5\n", "--format csv");
  EXPECT_EQ(csv.status, 3);
  EXPECT_EQ(csv.out, csv_header);
  const run_result refused = run_torvan("5 7 0 0.5\n", "--format json");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(json::parse(refused.out)["error"], "nhire = 7 must lie between 0 and ntot = 5");
}

TEST(Batch, OneDocumentPerProblemLineInOrder) {
  const run_result r = run_torvan("# a grid\n"
                                  "4 2 0 0.5\n"
                                  "\n"
                                  "10 3 0.5 0.3\r\n"
                                  "10 3 x 0.3\n"
                                  "5 7 0 0.5\n"
                                  "6,2,-1,.5",
                                  "--batch --threads 3");
  EXPECT_EQ(r.status, 1); // two lines failed
  std::istringstream out(r.out);
  std::vector<json> docs;
  for (std::string line; std::getline(out, line);)
    docs.push_back(json::parse(line));
  ASSERT_EQ(docs.size(), 5u);
  const int lines[] = {2, 4, 5, 6, 7};
  for (std::size_t i = 0; i < docs.size(); ++i)
    EXPECT_EQ(docs[i]["line"], lines[i]);
  EXPECT_EQ(docs[2]["error"], "invalid number: incomprehensible list input");
  EXPECT_EQ(docs[3]["error"], "nhire = 7 must lie between 0 and ntot = 5");
  // Each problem exactly as its single run computes it.
  for (const auto &[i, input] : {std::pair{1, "10 3 0.5 0.3\n"}, {4, "6 2 -1 0.5\n"}}) {
    const json single = json::parse(run_torvan(input, "--format json").out);
    EXPECT_EQ(docs[i]["rows"], single["rows"]);
    EXPECT_EQ(docs[i]["moments"], single["moments"]);
    EXPECT_EQ(docs[i]["percentiles"], single["percentiles"]);
  }
}

} // namespace
