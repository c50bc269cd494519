// Stopping a computation on request: promptly, and with a status that says
// the distribution is not complete.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>

#include "engine/pool.h"
#include "torvan.h"

namespace {

using clock_type = std::chrono::steady_clock;

// A nested problem of about ten seconds on one core: about a hundred pools of
// up to fifty outcomes each.
constexpr problem slow{200, 50, -0.5, 0.3};

TEST(Cancel, RequestFromAnotherThreadEndsANestedProblemPromptly) {
  for (int threads : {1, 2}) {
    std::atomic<bool> stop{false};
    solve_options o;
    o.threads = threads;
    o.cancel = &stop;
    const auto t0 = clock_type::now();
    std::jthread requester([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      stop = true;
    });
    const solution s = solve(slow, o);
    const std::chrono::duration<double> took = clock_type::now() - t0;
    EXPECT_TRUE(s.status.cancelled) << threads;
    EXPECT_FALSE(s.status.gave_up) << threads;
    EXPECT_FALSE(completed(s.status)) << threads;
    // Generous: the whole problem takes many times this on any machine.
    EXPECT_LT(took.count(), 3.0) << threads;
  }
}

TEST(Cancel, FlagSetBeforehandComputesNoPool) {
  for (ai_method m : {ai_method::nested, ai_method::direct})
    for (int threads : {1, 2}) {
      const std::atomic<bool> stop{true};
      solve_options o;
      o.method = m;
      o.threads = threads;
      o.cancel = &stop;
      o.keep_joint = true;
      const solution s = solve({30, 10, -0.5, 0.3}, o);
      EXPECT_TRUE(s.status.cancelled);
      EXPECT_TRUE(s.joint.empty());
      EXPECT_EQ(std::accumulate(s.pvai.begin(), s.pvai.end(), 0.0), 0.0);
      EXPECT_TRUE(solve_figures({30, 10, -0.5, 0.3}, o).status.cancelled);
    }
}

// A request after the last pool was added changes nothing: the result is the
// complete distribution. One made after some pools keeps only those pools.
TEST(Cancel, OnlyPoolsAddedBeforeTheRequestCount) {
  const problem p{30, 10, -0.5, 0.3};
  solve_options o;
  o.method = ai_method::direct;
  o.keep_joint = true;
  const solution whole = solve(p, o);
  std::atomic<bool> stop{false};
  o.cancel = &stop;
  int stop_at = 0;
  o.progress = [&](int done, int total) {
    if (done == stop_at || (stop_at == 0 && done == total)) stop = true;
  };
  const solution late = solve(p, o);
  EXPECT_FALSE(late.status.cancelled);
  EXPECT_EQ(late.pvai, whole.pvai);

  stop = false;
  stop_at = 3;
  const solution part = solve(p, o);
  EXPECT_TRUE(part.status.cancelled);
  for (const joint_entry &e : part.joint)
    EXPECT_LT(e.minority_applicants, whole.joint.front().minority_applicants + 3);
}

TEST(Cancel, APoolStopsBetweenOutcomes) {
  pool_work w(-0.5);
  const std::atomic<bool> stop{true};
  w.cancel = &stop;
  const pool_result r = pool_outcomes(200, 50, 60, w);
  EXPECT_TRUE(r.cancelled);
  EXPECT_FALSE(r.gave_up);
  EXPECT_TRUE(r.pvs.empty());
}

} // namespace
