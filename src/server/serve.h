#pragma once

#include <string>
#include <vector>

// `torvan serve`: the page and its JSON API over HTTP, until SIGINT or
// SIGTERM. `args` are the arguments after "serve". Returns the exit status:
// 0 stopped by a signal, 1 could not listen, 2 a bad option.
int run_serve(const std::vector<std::string> &args);

// The --help text of `torvan serve`.
std::string serve_usage();
