#pragma once

#include <cstdio>

// One self-updating line on a terminal: pools (or another unit) done,
// elapsed time, time left. Silent when the stream is not a terminal; never
// touches standard output.
class progress_line {
public:
  explicit progress_line(std::FILE *term, const char *unit = "pools");
  ~progress_line() { erase(); }
  progress_line(const progress_line &) = delete;
  progress_line &operator=(const progress_line &) = delete;

  void update(int done, int total);
  // The same, with the time left from `share`, the part of the work done,
  // when the units differ in cost.
  void update(int done, int total, double share);
  void note(const char *what); // shown at once, until the next update

  void erase(); // before anything else is written to the stream

private:
  std::FILE *term_;
  const char *unit_;
  bool active_;
  bool shown_ = false;
  double start_;
  double last_ = -1.0;
};
