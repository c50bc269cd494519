// CPU time as the report and the JSON documents state it.
#include "input/clock.h"

#include <ctime>

namespace {

double seconds_of(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

} // namespace

double process_cpu_seconds() {
  return seconds_of(CLOCK_PROCESS_CPUTIME_ID);
}
double thread_cpu_seconds() {
  return seconds_of(CLOCK_THREAD_CPUTIME_ID);
}
