#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "driver/reader.h"
#include "engine/mixing.h"

// Why a problem cannot be computed (ntot < 2, nhire outside 0 ... ntot, esize
// not finite, prop not strictly between 0 and 1, or a candidate table larger
// than this machine can hold), or nothing when it can.
std::optional<std::string> refusal(const problem &p);

// Where a computation's side output goes, in the order a one-thread run
// writes it.
struct solve_sinks {
  std::function<void(const std::string &)> diag; // diagnostic lines of the report
  std::function<void(int code)> notice;          // abnormal end of an outer integration
  std::function<void(int done, int total)> progress;
};

// One problem computed: the candidate table with its probabilities, and how
// the pool loop ended. Needs a problem that refusal() accepts.
struct solution {
  std::vector<double> vai;
  std::vector<double> pvai;
  mix_status status;
};
solution solve(const problem &p, int threads, const solve_sinks &sinks);

// Writes the library's notice for each abnormal outer integration, at most
// ten times per error number.
class notice_limiter {
public:
  explicit notice_limiter(std::function<void(const std::string &)> write)
      : write_(std::move(write)) {}
  void operator()(int code);

private:
  std::function<void(const std::string &)> write_;
  std::vector<std::pair<int, int>> written_; // error number, times written
};

// CPU seconds used so far by the process and by the calling thread.
double process_cpu_seconds();
double thread_cpu_seconds();
