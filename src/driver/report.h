#pragma once

#include <string>

#include "driver/reader.h"

// The report's text, one function per layout. Each returns the lines the
// layout writes, every line ending in '\n'; the caller decides where they go.

std::string banner();
std::string problem_lines(const problem &p);
std::string output_heading();
std::string distribution_heading();

// One table row: row number, AI value, its probability, cumulative probability.
std::string row_line(int i, double vai, double pvai, double cpvai);
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
