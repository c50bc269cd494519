#pragma once

#include <map>
#include <string>
#include <vector>

// A query's parameters as HTTP decoded them, read with the command line's
// rules and messages.

// The parameters of one query; a name may come more than once.
using query_params = std::multimap<std::string, std::string>;

// The parameters of one query, each read at most once.
struct query_reader {
  const query_params &q;
  std::string error; // the first fault found

  // The names this query may use; the first other one is a fault.
  void allow(const std::vector<std::string> &names);
  bool has(const std::string &name) const { return q.count(name) > 0; }
  // The parameter's text, or nullptr when it is absent (or a fault came first).
  const std::string *text(const std::string &name);
  // The same, a fault when it is absent or empty.
  const std::string *required(const std::string &name);

  // An option, read by the command line's own function for it.
  template <class T, class Read> void option(const std::string &name, T &value, Read read) {
    if (const std::string *t = text(name)) error = read(name, *t, value);
  }
};
