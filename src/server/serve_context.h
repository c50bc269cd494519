#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "server/serve_gate.h"
#include "server/serve_limits.h"
#include "server/serve_reply.h"

// What the handlers share: the limits, the gate, and the flag that is set
// when the server stops (it cancels the computations under way).
struct serve_context {
  const serve_limits &limits;
  work_gate &gate;
  const std::atomic<bool> &stopping;
};

// Why a problem is more than this server computes: `subject` says how large
// it is ("ntot = 30000 is").
std::string beyond_max_ntot(const std::string &subject, const serve_limits &l);
// Why the nested method is refused for `cells` outcomes (ntot x nhire,
// `counted` says over what).
std::string nested_beyond_limit(std::int64_t cells, const std::string &counted,
                                const serve_limits &l);

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
