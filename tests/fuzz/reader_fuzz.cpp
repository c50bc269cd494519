// libFuzzer target for the free-form reader. Whatever the bytes on standard
// input, read_problem ends in a result, and:
// - a failed read leaves the problem as it was and has a four-line message;
// - a successful read gives finite values and stops at a line end or at the
//   end of the input, without having looked past that line end: the bytes up
//   to it, alone, read the same;
// - CR LF line ends read exactly like LF line ends.
#include "input/reader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Distinct from anything a null value could leave, so that a target the read
// wrongly touched shows.
constexpr problem start{-7, -8, 1.5, 2.5};

struct outcome {
  read_error error;
  problem p;
  long consumed; // bytes the stream gave up
};

outcome read_bytes(std::string bytes) {
  std::FILE *f = fmemopen(bytes.data(), bytes.size(), "r");
  if (!f) std::abort();
  outcome o{read_error::none, start, 0};
  o.error = read_problem(f, o.p);
  o.consumed = std::ftell(f);
  std::fclose(f);
  return o;
}

bool same_problem(const problem &a, const problem &b) {
  return a.ntot == b.ntot && a.nhire == b.nhire &&
         std::bit_cast<std::uint64_t>(a.esize) == std::bit_cast<std::uint64_t>(b.esize) &&
         std::bit_cast<std::uint64_t>(a.prop) == std::bit_cast<std::uint64_t>(b.prop);
}

bool same_result(const outcome &a, const outcome &b) {
  return a.error == b.error && (a.error != read_error::none || same_problem(a.p, b.p));
}

void check(bool ok, const char *what) {
  if (ok) return;
  std::fprintf(stderr, "reader invariant broken: %s\n", what);
  std::abort();
}

std::string crlf_to_lf(const std::string &s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i)
    if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) out += s[i];
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  const outcome o = read_bytes(bytes);

  if (o.error != read_error::none) {
    check(same_problem(o.p, start), "a failed read changed the problem");
    const std::string message = read_error_message(o.error);
    check(std::count(message.begin(), message.end(), '\n') == 4 && message.back() == '\n',
          "the message is not four lines");
  } else {
    check(std::isfinite(o.p.esize) && std::isfinite(o.p.prop), "a value read is not finite");
    const auto at = static_cast<std::size_t>(o.consumed);
    check(o.consumed >= 0 && at <= size, "position outside the input");
    check(at == size || (at > 0 && bytes[at - 1] == '\n'),
          "stopped neither at a line end nor at the end");
    if (at < size)
      check(same_result(o, read_bytes(bytes.substr(0, at))),
            "the bytes after the last line read changed the result");
  }
  // "\r\r\n" is a carriage return and a line end, which LF alone cannot write.
  if (const std::string lf = crlf_to_lf(bytes); lf.find("\r\n") == std::string::npos)
    check(same_result(o, read_bytes(lf)), "CR LF reads unlike LF");
  return 0;
}
