#pragma once

#include <cstdio>
#include <string>
#include <vector>

// torvan design [options]: the arguments after "design" in, the design in the
// chosen format on out, messages on err. Returns the exit status: 0 done; 2 a
// bad option, an unreadable table or a design refused; 3 a problem's
// integral could not be accepted; 4 the output or the chart could not be
// written.
int run_design_command(const std::vector<std::string> &args, std::FILE *out, std::FILE *err);

// The text of torvan design --help.
std::string design_usage();
