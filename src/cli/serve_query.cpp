// Reading a query, and the refusals the handlers share.
#include "cli/serve_query.h"

#include <algorithm>
#include <iterator>

void query_reader::allow(const std::vector<std::string> &names) {
  for (const auto &[name, value] : q)
    if (error.empty() && std::find(names.begin(), names.end(), name) == names.end())
      error = "unknown parameter '" + name + "'";
}

const std::string *query_reader::text(const std::string &name) {
  const auto [first, last] = q.equal_range(name);
  if (!error.empty() || first == last) return nullptr;
  if (std::next(first) != last) error = name + " is given more than once";
  return error.empty() ? &first->second : nullptr;
}

const std::string *query_reader::required(const std::string &name) {
  const std::string *t = text(name);
  if (error.empty() && (!t || t->empty())) error = name + " is missing";
  return error.empty() ? t : nullptr;
}

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

reply stopping_reply() {
  return error_reply(503, "the server is stopping");
}
