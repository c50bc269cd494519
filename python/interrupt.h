#pragma once

// Computing without holding the interpreter while staying responsive to
// Ctrl-C: shared by the compiled modules of the package.
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
  namespace py = pybind11;
  auto done = std::async(std::launch::async, [&] { return work(stop); });
  try {
    for (;;) {
      {
        const py::gil_scoped_release unlocked;
        if (done.wait_for(wait_slice) == std::future_status::ready) break;
      }
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
      if (tick) tick();
    }
  } catch (...) {
    stop = true;
    const py::gil_scoped_release unlocked;
    done.wait();
    throw;
  }
  if (tick) tick();
  return done.get();
}

// A request to stop, shared by the computations of a grid: the thread that
// waits for the grid sets it, and every computation given it stops.
struct cancel_token {
  std::atomic<bool> flag{false};
};

// Runs work(stop, progress). Without a token it waits interruptibly: Ctrl-C
// stops it, and progress(done, total), when given, is called on the calling
// thread as pools are finished. With a token - a grid's cells on pool
// threads, which signals never reach - it computes on the calling thread,
// without the cost of a thread of its own, and only the token's holder stops it.
template <class F>
void run_computation(F work, const pybind11::object &progress, cancel_token *token) {
  namespace py = pybind11;
  std::atomic<int> done{0}, total{0};
  const auto count = [&](int d, int t) {
    done = d;
    total = t;
  };
  if (token) {
    const py::gil_scoped_release unlocked;
    work(token->flag, count);
    return;
  }
  int shown = -1;
  const auto tick = [&] {
    if (progress.is_none() || done == shown) return;
    shown = done;
    progress(shown, total.load());
  };
  std::atomic<bool> stop{false};
  run_interruptibly(
      stop, [&](const std::atomic<bool> &s) { work(s, count); }, tick);
}
