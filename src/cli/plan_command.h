#pragma once

#include <cstdio>
#include <string>
#include <vector>

// torvan plan [options]: the arguments after "plan" in, the plan in the chosen
// format on out, messages and the progress line on err. Returns the exit
// status: 0 every row computed; 1 some row could not be (it says why); 2 a bad
// option; 4 the output or the chart could not be written.
int run_plan_command(const std::vector<std::string> &args, std::FILE *out, std::FILE *err);

// The text of torvan plan --help.
std::string plan_usage();
