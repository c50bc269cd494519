#pragma once

#include <condition_variable>
#include <mutex>

// The computations of a server: at most `running` at once and at most
// `waiting` requests queued for a place; a request beyond them is turned
// away at once instead of piling up. Closing the gate turns away every
// waiting request and every later one (the server is stopping).
class work_gate {
public:
  work_gate(int running, int waiting) : running_(running), waiting_(waiting) {}

  enum class entry { admitted, full, closed };
  // Waits for a place while the queue has room. After `admitted`, leave()
  // must follow (see gate_pass).
  entry enter();
  void leave();
  void close();

private:
  std::mutex mutex_;
  std::condition_variable freed_;
  int running_, waiting_;
  int busy_ = 0;   // computations running
  int queued_ = 0; // requests waiting for one
  bool closed_ = false;
};

// A place at the gate held for one scope.
struct gate_pass {
  work_gate &gate;
  work_gate::entry entry;
  explicit gate_pass(work_gate &g) : gate(g), entry(g.enter()) {}
  ~gate_pass() {
    if (entry == work_gate::entry::admitted) gate.leave();
  }
  gate_pass(const gate_pass &) = delete;
  gate_pass &operator=(const gate_pass &) = delete;
};
