#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "torvan.h"

// The report's text, one function per layout. Each returns the lines the
// layout writes, every line ending in '\n'; the caller decides where they go.

std::string banner();
std::string problem_lines(const problem &p);
std::string output_heading();
std::string distribution_heading();

// One table row: row number, AI value, its probability, cumulative probability.
std::string row_line(int i, double vai, double pvai, double cpvai);
// One row per table entry, with the running cumulative probability, handed
// to `write` a few thousand rows at a time: a table of millions of rows is
// never held as text all at once.
// The cumulative column is a running_total of the method that computed pvai.
void distribution_rows(const std::vector<double> &vai, const std::vector<double> &pvai,
                       ai_method method, const std::function<void(const std::string &)> &write);
std::string moments_lines(double mean, double var, double sd);
std::string cpu_time_lines(double seconds);

// Diagnostic line for a cumulative probability above 1 by at most 5e-5 that
// was accepted as `stored` (1.0); `raw` is the integral as returned.
std::string accepted_as_one_line(int t, int smin, int rmaj, double stored, double raw);
// Diagnostic line for an inner integration that ended with error number `code`.
std::string inner_error_line(int code);

// The numerical library's notice for an outer integration that ended with
// error number `code`, as scripts watching standard error expect it.
std::string abnormal_return_notice(int code);

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

// The warning for a pool whose probabilities the direct method could not
// bring within its error bound (`factor` times the bound reached).
std::string accuracy_warning_line(int nmin, double factor);

// A solution's events as the report writes them, pool by pool: first the
// pool's diagnostic lines, all in one piece, then a notice for each abnormal
// outer integration, then the accuracy warnings.
void render_events(const std::vector<pool_event> &events,
                   const std::function<void(const std::string &)> &diag, notice_limiter &notices,
                   const std::function<void(const std::string &)> &warn);
