// The classic report's diagnostic lines and the library's notice block.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/classic.h"

namespace {

// Scripts watch standard error for the library's notice: its exact block, at
// most ten times per error number in a run.
TEST(Notices, BlockTextAndLimitPerErrorNumber) {
  std::string err;
  notice_limiter notices([&](const std::string &s) { err += s; });
  for (int k = 0; k < 12; ++k)
    notices(2);
  for (int k = 0; k < 3; ++k)
    notices(1);
  const std::string block2 = " ***MESSAGE FROM ROUTINE DQAG IN LIBRARY SLATEC.\n"
                             " ***INFORMATIVE MESSAGE, PROG CONTINUES, TRACEBACK REQUESTED\n"
                             " *  ABNORMAL RETURN\n"
                             " *  ERROR NUMBER = 2\n"
                             " *   \n"
                             " ***END OF MESSAGE\n"
                             " \n";
  EXPECT_EQ(err.substr(0, block2.size()), block2);
  std::size_t twos = 0, ones = 0;
  for (auto at = err.find("NUMBER = 2"); at != std::string::npos;
       at = err.find("NUMBER = 2", at + 1))
    ++twos;
  for (auto at = err.find("NUMBER = 1"); at != std::string::npos;
       at = err.find("NUMBER = 1", at + 1))
    ++ones;
  EXPECT_EQ(twos, 10u);
  EXPECT_EQ(ones, 3u);
}

// Pool by pool: the pool's diagnostic lines in the order they happened, in
// one piece, then its notices.
TEST(Events, RenderedPoolByPool) {
  using kind = pool_event::kind;
  const std::vector<pool_event> events{
      {.what = kind::inner_error, .nmin = 3, .code = 2},
      {.what = kind::abnormal_return, .nmin = 3, .code = 1},
      {.what = kind::accepted_as_one,
       .nmin = 3,
       .t = 1,
       .smin = 3,
       .rmaj = 5,
       .stored = 1.0,
       .raw = 1.00002},
      {.what = kind::abnormal_return, .nmin = 4, .code = 3},
      {.what = kind::accuracy_shortfall, .nmin = 4, .raw = 2.5},
  };
  std::vector<std::string> out;
  notice_limiter notices([&](const std::string &s) {
    out.push_back(s.substr(0, 20) + "..." + s.substr(s.find("NUMBER"), 10));
  });
  const auto keep = [&](const std::string &s) { out.push_back(s); };
  render_events(events, keep, notices, keep);
  EXPECT_EQ(out, (std::vector<std::string>{
                     "DQAG ERROR in FUN   2\n"
                     "               1      3      5   1.00000    0.1000020000E+01\n",
                     " ***MESSAGE FROM ROU...NUMBER = 1",
                     " ***MESSAGE FROM ROU...NUMBER = 3",
                     "torvan: warning: pool with 4 minority applicants: the direct method's error "
                     "estimate is 2.5 times its bound; its probabilities are used all the same\n",
                 }));
}

} // namespace
