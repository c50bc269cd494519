#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Computes work(worker, i) for i = 0 ... n - 1 on up to `threads` workers and
// hands each result to consume(i, result) on the calling thread, strictly in
// ascending i, so that whatever consume accumulates comes out exactly as in a
// single-threaded loop. Workers take the next index as they come free (the
// costly items need not be spread evenly). When consume returns false no
// further item is started; items in flight are finished and dropped.
// `progress(finished)` is called on the calling thread after each result is
// consumed and now and then while the next one is due: items finished so far.
template <class T>
void ordered_parallel(int n, int threads, const std::function<T(int worker, int i)> &work,
                      const std::function<bool(int i, T &result)> &consume,
                      const std::function<void(int finished)> &progress = {}) {
  if (threads <= 1) { // the plain loop, on the calling thread
    for (int i = 0; i < n; ++i) {
      T r = work(0, i);
      if (!consume(i, r)) return;
      if (progress) progress(i + 1);
    }
    return;
  }
  std::vector<std::optional<T>> done(static_cast<std::size_t>(n));
  std::mutex m;
  std::condition_variable cv;
  std::atomic<int> next{0};
  std::atomic<bool> stop{false};
  int finished = 0;

  const auto run = [&](int worker) {
    for (int i; !stop && (i = next++) < n;) {
      T r = work(worker, i);
      {
        const std::lock_guard lock(m);
        done[i] = std::move(r);
        ++finished;
      }
      cv.notify_all();
    }
  };
  std::vector<std::jthread> workers; // joined on every way out
  workers.reserve(static_cast<std::size_t>(std::min(threads, n)));
  for (int k = 0; k < std::min(threads, n); ++k)
    workers.emplace_back(run, k);

  for (int i = 0; i < n; ++i) {
    std::unique_lock lock(m);
    while (!cv.wait_for(lock, std::chrono::milliseconds(250), [&] { return done[i].has_value(); }))
      if (progress) progress(finished);
    T r = std::move(*done[i]);
    done[i].reset();
    const int now = finished;
    lock.unlock();
    if (!consume(i, r)) {
      stop = true;
      return;
    }
    if (progress) progress(now);
  }
}
