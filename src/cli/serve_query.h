#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/serve_api.h"

// What the server's handlers share: a query read with the command line's
// messages, the refusals of work beyond the limits, and a place at the gate.

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

// Why a problem is more than this server computes: `subject` says how large
// it is ("ntot = 30000 is").
std::string beyond_max_ntot(const std::string &subject, const serve_limits &l);
// Why the nested method is refused for `cells` outcomes (ntot x nhire,
// `counted` says over what).
std::string nested_beyond_limit(std::int64_t cells, const std::string &counted,
                                const serve_limits &l);

// 503: a computation cancelled because the server stops.
reply stopping_reply();

// compute() at a place of the gate, or 503 when every place and the whole
// queue are taken, or the server is stopping.
template <class Compute> reply at_the_gate(serve_context &c, Compute compute) {
  const gate_pass pass(c.gate);
  if (pass.entry == work_gate::entry::full)
    return error_reply(503, "every computation place is taken and the queue is full; try again "
                            "in a moment");
  if (pass.entry == work_gate::entry::closed) return stopping_reply();
  return compute();
}
