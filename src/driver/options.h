#pragma once

#include <string>
#include <vector>

// What the command line asks for. The program runs with no options at all.
struct options {
  int threads = 0; // 0: every hardware thread
  bool help = false;
  bool version = false;
  std::string error; // non-empty: the command line is refused with this message
};

options parse_options(const std::vector<std::string> &args);

// The --help text.
std::string usage();
