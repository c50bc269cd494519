// Numbers of options and parameters.
#include "input/number.h"

#include <charconv>
#include <cstdlib>
#include <string>
#include <string_view>
#include <type_traits>

namespace {

std::string_view unsigned_part(const std::string &text, bool &negative) {
  std::string_view t = text;
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t'))
    t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
    t.remove_suffix(1);
  negative = !t.empty() && t.front() == '-';
  if (!t.empty() && (t.front() == '+' || t.front() == '-')) t.remove_prefix(1);
  return t;
}

// Digits, with a fraction and an exponent for a number: from_chars alone
// would also take "inf", "nan" and hexadecimal digits.
bool plain(std::string_view t, bool whole) {
  const std::string_view allowed = whole ? "0123456789" : "0123456789.eE+-";
  return !t.empty() && ((t.front() >= '0' && t.front() <= '9') || (!whole && t.front() == '.')) &&
         t.find_first_not_of(allowed) == std::string_view::npos;
}

template <class T> bool parse(std::string_view t, bool negative, T &value) {
  T v{};
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (end != t.data() + t.size()) return false;
  if (ec == std::errc::result_out_of_range && std::is_floating_point_v<T>) {
    // Too small for a double is a number all the same: it rounds to zero,
    // and the range checks say what they say of zero. Too large is not.
    v = static_cast<T>(std::strtod(std::string(t).c_str(), nullptr));
    if (v != 0) return false;
  } else if (ec != std::errc()) {
    return false;
  }
  value = negative ? -v : v;
  return true;
}

} // namespace

std::string read_whole(const std::string &name, const std::string &text, int &value) {
  bool negative = false;
  const std::string_view t = unsigned_part(text, negative);
  if (plain(t, true) && parse(t, negative, value)) return "";
  return name + " must be a whole number, not '" + text + "'";
}

std::string read_number(const std::string &name, const std::string &text, double &value) {
  bool negative = false;
  const std::string_view t = unsigned_part(text, negative);
  if (plain(t, false) && parse(t, negative, value)) return "";
  return name + " must be a number, not '" + text + "'";
}
