#pragma once

#include <string>
#include <vector>

#include "torvan.h"

// What the command line asks for. The program runs with no options at all.
enum class output_format { report, csv, json, summary, joint };

struct options {
  int threads = 0;                              // 0: every hardware thread
  output_format format = output_format::report; // summary when --minority is given alone
  ai_method method = ai_method::nested;
  int minority = -1;   // >= 0: the pool's composition is known
  double alpha = 0.05; // significance level of the adverse impact rules
  std::string plot;    // non-empty: also write an SVG chart to this file
  bool batch = false;  // one problem per input line, one JSON document per output line
  bool rows = true;    // JSON (and batch) documents carry the table's rows
  bool help = false;
  bool version = false;
  std::string error; // non-empty: the command line is refused with this message
};

options parse_options(const std::vector<std::string> &args);

// Shared by the subcommands' options.
// Whether args[i] is the option `name`, given as "--name value" (then i
// moves to the value) or "--name=value"; a missing value sets `error`.
bool option_value(const std::vector<std::string> &args, std::size_t &i, const std::string &name,
                  std::string &value, std::string &error);
// A significance level: a number strictly between 0 and 1, and nothing after it.
bool parse_alpha(const std::string &text, double &value);

// The --help text.
std::string usage();
