// Reading a query's parameters.
#include "input/query.h"

#include "input/options.h"

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
  if (std::next(first) != last) error = given_twice(name);
  return error.empty() ? &first->second : nullptr;
}

const std::string *query_reader::required(const std::string &name) {
  const std::string *t = text(name);
  if (error.empty() && (!t || t->empty())) error = name + " is missing";
  return error.empty() ? t : nullptr;
}
