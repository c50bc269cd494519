// The bound on a server's computations and their queue.
#include "server/serve_gate.h"

work_gate::entry work_gate::enter() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (closed_) return entry::closed;
  if (busy_ >= running_ && queued_ >= waiting_) return entry::full;
  ++queued_;
  freed_.wait(lock, [&] { return closed_ || busy_ < running_; });
  --queued_;
  // The gate may have closed while the wait let go of the lock, which
  // cppcheck does not see.
  // cppcheck-suppress knownConditionTrueFalse
  const entry e = closed_ ? entry::closed : entry::admitted;
  if (e == entry::admitted) ++busy_;
  return e;
}

void work_gate::leave() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    --busy_;
  }
  freed_.notify_one();
}

void work_gate::close() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  freed_.notify_all();
}
