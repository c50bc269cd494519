// The nested method checked against the direct method before anything is
// shown: refused where its fixed integration range misses the scores (the
// direct method's answer is far from it), shown with a note where it is
// near, shown as it always was where it agrees - in every format.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/check.h"
#include "run_torvan.h"
#include "torvan.h"

namespace {

enum class expect { silent, note, refused };

TEST(NestedCheck, RefusesWhatItCannotComputeInEveryFormat) {
  const struct {
    const char *input;
    expect what;
  } cases[] = {
      {"10 2 20 0.3", expect::refused},   // negative probabilities, P(undefined) 0.99986
      {"10 2 1000 0.3", expect::refused}, // a clean table: the answer for esize -20
      {"2 1 8 0.5", expect::refused},     // P(AI = 0) 0.0334 where it is 0.5
      {"3 1 9 0.5", expect::refused},     {"10 2 12 0.3", expect::refused},
      {"10 2 2 0.3", expect::note},     // within 1e-5 of the direct method
      {"10 2 -20 0.3", expect::silent}, // right: the minority is never hired first
      {"2 1 -8 0.5", expect::silent},     {"150 105 5 0.5", expect::silent},
      {"20 5 3 0.5", expect::silent}, // gives up honestly (exit 3), unchecked
  };
  for (const auto &c : cases) {
    for (const std::string format : {"report", "summary", "csv", "json"}) {
      const run_result r = run_torvan(std::string(c.input) + "\n", "--format " + format);
      const std::string where = std::string(c.input) + " --format " + format;
      const bool refused = r.err.find("use --method direct") != std::string::npos;
      const bool noted = r.err.find("torvan: note: the nested method") != std::string::npos;
      EXPECT_EQ(refused, c.what == expect::refused) << where << "\n" << r.err;
      EXPECT_EQ(noted, c.what == expect::note) << where << "\n" << r.err;
      if (c.what == expect::refused) {
        EXPECT_EQ(r.status, 1) << where;
        EXPECT_EQ(lines_of(r.err).size(), 1U) << where;
        // Nothing of the wrong distribution is shown.
        EXPECT_EQ(r.out.find("0.1000000000E+01"), std::string::npos) << where;
        EXPECT_EQ(r.out.find("\"p_undefined\""), std::string::npos) << where;
        if (format == "csv") {
          EXPECT_EQ(lines_of(r.out).size(), 1U) << where;
        }
      } else if (c.what == expect::note) {
        EXPECT_EQ(r.status, 0) << where;
        // The report is the one shown without the check: the direct method's
        // is not; the note is one line, the last.
        EXPECT_EQ(lines_of(r.err).size(), 1U) << where;
      }
    }
  }
}

// A batch refuses the line (an error document, exit status 1) and notes the
// near one on standard error by its line number; the others are as they were.
TEST(NestedCheck, ABatchChecksEachLine) {
  const run_result r =
      run_torvan("10 2 2 0.3\n10 2 20 0.3\n150 105 5 0.5\n", "--batch --rows none");
  EXPECT_EQ(r.status, 1);
  const std::vector<std::string> out = lines_of(r.out);
  ASSERT_EQ(out.size(), 3U);
  EXPECT_EQ(out[0].find("\"error\""), std::string::npos) << out[0];
  EXPECT_NE(out[1].find("\"error\":\"the nested method's cumulative probabilities differ"),
            std::string::npos)
      << out[1];
  EXPECT_NE(out[1].find("use --method direct"), std::string::npos) << out[1];
  EXPECT_EQ(out[2].find("\"error\""), std::string::npos) << out[2];
  EXPECT_NE(r.err.find("torvan: line 1: note: the nested method's"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("line 3"), std::string::npos) << r.err;
}

// The direct method is checked by nothing; its answers stand, refused by no
// check, where the nested method's are refused.
TEST(NestedCheck, TheDirectMethodAnswers) {
  for (const char *input : {"10 2 20 0.3\n", "10 2 1000 0.3\n", "2 1 8 0.5\n"}) {
    const run_result r = run_torvan(input, "--method direct --format summary");
    EXPECT_EQ(r.status, 0) << input;
    EXPECT_EQ(r.err, "") << input;
  }
  // One minority and one majority applicant, the minority eight standard
  // deviations ahead: the minority is hired first with probability
  // Phi(8 / sqrt(2)), so P(AI = 0) = 1 - 7.6e-9 - the truth the nested
  // method missed (it gave 0.0334).
  problem p{2, 1, 8.0, 0.5};
  solve_options o;
  o.method = ai_method::direct;
  o.minority = 1;
  const solution s = solve(p, o);
  ASSERT_TRUE(completed(s.status));
  ASSERT_EQ(s.vai.front(), 0.0);
  EXPECT_NEAR(s.pvai.front(), 0.5 * std::erfc(-8.0 / 2.0), 1e-10);
  EXPECT_FALSE(s.check.checked);
}

TEST(NestedCheck, ComparesCumulativeValues) {
  const struct {
    std::vector<double> p, q;
    double difference;
  } cases[] = {
      {{0.5, 0.5}, {0.5, 0.5}, 0.0},
      {{0.25, 0.25, 0.5}, {0.5, 0.0, 0.5}, 0.25}, // cumulative 0.25/0.5 against 0.5/0.5
      {{0.1, 0.2, 0.7}, {0.2, 0.1, 0.7}, 0.1},    // offsetting errors show once
      {{-0.3, 0.3, 1.0}, {0.0, 0.0, 1.0}, 0.3},   // a negative probability
  };
  for (const auto &c : cases) {
    const method_check m = compare_cumulative(c.p, c.q);
    EXPECT_TRUE(m.checked);
    EXPECT_NEAR(m.max_difference, c.difference, 1e-15);
  }
  EXPECT_TRUE(std::isinf(compare_cumulative({0.5, 0.5}, {0.5}).max_difference)); // not one table
  EXPECT_FALSE(check_refusal({true, 1e-4}));
  EXPECT_TRUE(check_refusal({true, 1.01e-4}));
  EXPECT_FALSE(check_note({true, 1e-6}));
  EXPECT_TRUE(check_note({true, 1.01e-6}));
  EXPECT_FALSE(check_note({true, 1e-3})); // refused, not noted
  EXPECT_FALSE(check_refusal({false, 1.0}));
}

} // namespace
