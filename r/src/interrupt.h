#pragma once

// Computing on a thread of its own while R's thread stays responsive to the
// user's interrupt and to R's time limits: shared by the package's compiled
// files.
#include <Rcpp.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <system_error>

// Runs work(stop) on a thread of its own while R's thread waits for it in
// slices of 50 ms, letting R look for the user's interrupt and its time
// limits (setTimeLimit) and calling tick(), when given, between them. When R
// leaves - an interrupt, a time limit's error, an error in tick - stop is set
// and the work waited for (the library looks at the flag between pools and
// between outcomes, so it comes back within milliseconds) before R goes on:
// no thread is left computing. R's own jump is then resumed, so an interrupt
// stays an interrupt and a time limit an error a caller can catch (Rcpp's
// checkUserInterrupt would make both an interrupt).
//
// A grid's cell computed in another R process cannot see the interrupt of the
// session that asked for it; that session creates cancel_file instead, and
// once it exists stop is set and the work comes back cancelled.
//
// The work must not touch R; only R's thread does, tick included.
template <class F>
auto run_interruptibly(F work, const std::function<void()> &tick = {},
                       const std::string &cancel_file = {}) {
  std::atomic<bool> stop{false};
  auto done = std::async(std::launch::async, [&] { return work(stop); });
  while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    std::error_code unreadable;
    if (!cancel_file.empty() && std::filesystem::exists(cancel_file, unreadable)) stop = true;
    try {
      Rcpp::unwindProtect([] {
        R_CheckUserInterrupt();
        return R_NilValue;
      });
      if (tick) tick();
    } catch (...) {
      stop = true;
      done.wait();
      throw;
    }
  }
  if (tick) tick();
  return done.get();
}
