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

// The value of an option given as "--name value" or "--name=value" at
// args[i]: false when args[i] is another option; i moves past the value, and
// `error` says so when the value is missing, or when `given` (the options
// read so far, to which name is added) holds it already, as a query's
// parameter given twice is refused.
bool option_value(const std::vector<std::string> &args, std::size_t &i, const std::string &name,
                  std::string &value, std::string &error, std::vector<std::string> &given);

// The refusal of an option or a parameter given more than once.
std::string given_twice(const std::string &name);

// One option's value read as the command line reads it, under the name it
// goes by ("--alpha" on the command line, "alpha" in a query of the server):
// an empty string when `text` is valid and stored, else the message refusing it.
std::string read_count(const std::string &name, const std::string &text, int least, int &value);
std::string read_method(const std::string &name, const std::string &text, ai_method &value);
std::string read_alpha(const std::string &name, const std::string &text, double &value);
std::string read_rows(const std::string &name, const std::string &text, bool &value); // all: true

// The --help text.
std::string usage();
