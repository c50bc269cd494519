// The bound on a server's computations: places, the queue, and closing.
#include "server/serve_gate.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using entry = work_gate::entry;

TEST(WorkGate, PlacesThenTheQueueThenFull) {
  work_gate gate(2, 1);
  EXPECT_EQ(gate.enter(), entry::admitted);
  EXPECT_EQ(gate.enter(), entry::admitted);
  // Both places taken: a third request waits for one to be left.
  entry waited = entry::full;
  std::thread waiter([&] { waited = gate.enter(); });
  gate.leave();
  waiter.join();
  EXPECT_EQ(waited, entry::admitted);
  work_gate none_waiting(1, 0);
  EXPECT_EQ(none_waiting.enter(), entry::admitted);
  EXPECT_EQ(none_waiting.enter(), entry::full);
}

TEST(WorkGate, ClosingTurnsAwayTheWaitingAndTheLater) {
  work_gate gate(1, 4);
  EXPECT_EQ(gate.enter(), entry::admitted);
  entry waited = entry::admitted;
  std::thread waiter([&] { waited = gate.enter(); });
  gate.close();
  waiter.join();
  EXPECT_EQ(waited, entry::closed);
  EXPECT_EQ(gate.enter(), entry::closed);
  gate.leave(); // the computation under way ends after the close
}

TEST(WorkGate, APassLeavesItsPlace) {
  work_gate gate(1, 0);
  {
    const gate_pass pass(gate);
    EXPECT_EQ(pass.entry, entry::admitted);
    const gate_pass refused(gate);
    EXPECT_EQ(refused.entry, entry::full);
  }
  EXPECT_EQ(gate.enter(), entry::admitted);
}

} // namespace
