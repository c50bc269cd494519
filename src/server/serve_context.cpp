// The refusals of work beyond the limits that the handlers share.
#include "server/serve_context.h"

std::string beyond_max_ntot(const std::string &subject, const serve_limits &l) {
  return subject + " more than this server computes (at most " + std::to_string(l.max_ntot) +
         " applicants; see torvan serve --max-ntot)";
}

std::string nested_beyond_limit(std::int64_t cells, const std::string &counted,
                                const serve_limits &l) {
  return "the nested method integrates every outcome of every pool and takes too long here "
         "beyond ntot x nhire = " +
         std::to_string(l.nested_max_cells) + counted + " (" + std::to_string(cells) +
         " asked); method=direct gives every probability to 1e-11 in a fraction of the time";
}
