#pragma once
// Long computations called from Python: on a thread of their own, while the
// calling thread stays responsive to Ctrl-C.
#include <atomic>
#include <chrono>
#include <functional>
#include <future>

#include <pybind11/pybind11.h>

// How often a waiting caller looks at pending signals and the progress: far
// below the second within which Ctrl-C must take effect, far above the cost
// of taking the interpreter's lock.
inline constexpr std::chrono::milliseconds wait_slice{50};

// Runs work(stop) on a thread of its own while the calling thread, without
// the interpreter, waits for it in short slices; between slices, holding the
// interpreter, it lets Python run its signal handlers and then calls tick().
// When either raises (KeyboardInterrupt on Ctrl-C), stop is set, the work is
// waited for - the library looks at the flag between pools and between
// outcomes, so it comes back within milliseconds - and the exception goes on:
// no thread is left computing. Signals reach the main thread only; elsewhere
// the holder of `stop` is the one to set it.
template <class F>
auto run_interruptibly(std::atomic<bool> &stop, F work, const std::function<void()> &tick = {}) {
  auto done = std::async(std::launch::async, [&] { return work(stop); });
  try {
    for (;;) {
      {
        const pybind11::gil_scoped_release unlocked;
        if (done.wait_for(wait_slice) == std::future_status::ready) break;
      }
      if (PyErr_CheckSignals() != 0) throw pybind11::error_already_set();
      if (tick) tick();
    }
  } catch (...) {
    stop = true;
    const pybind11::gil_scoped_release unlocked;
    done.wait();
    throw;
  }
  if (tick) tick();
  return done.get();
}

// What a computation says of its progress: work done so far, work in all.
using progress_report = std::function<void(int done, int total)>;

// run_interruptibly for work(stop, report) that reports its progress, from
// any thread, through report: progress(done, total), unless it is None, is
// told the latest on the calling thread between slices.
template <class F> void run_reporting(F work, const pybind11::object &progress) {
  std::atomic<int> done{0}, total{0};
  const progress_report report = [&](int d, int t) {
    done = d;
    total = t;
  };
  int shown = -1;
  const auto tick = [&] {
    if (progress.is_none() || done == shown) return;
    shown = done;
    progress(shown, total.load());
  };
  std::atomic<bool> stop{false};
  run_interruptibly(
      stop, [&](const std::atomic<bool> &s) { work(s, report); }, tick);
}
