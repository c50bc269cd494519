// ln Gamma and ln Beta against the reference tables bit for bit, plus a few
// exact values and the symmetry of B.

#include "model/lnbeta.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

namespace {

std::uint64_t bits(double x) {
  return std::bit_cast<std::uint64_t>(x);
}
std::string whole(double x) {
  return std::to_string(static_cast<long long>(x));
}

// Rows are: whole-number arguments (one for ln Gamma, two for ln B), then the expected
// result as 16 hex digits. Reports the mismatch count and the first few rows only.
template <class F> void expect_table_bits(const std::string &name, F f) {
  std::ifstream in(std::string(TORVAN_TEST_DATA) + "/lnbeta/" + name);
  std::string line;
  ASSERT_TRUE(std::getline(in, line)) << "cannot read " << name; // header
  int rows = 0, mismatches = 0;
  std::ostringstream first;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    const auto [args, got] = f(fields);
    std::string hex;
    fields >> hex;
    ++rows;
    if (bits(got) != std::stoull(hex, nullptr, 16) && ++mismatches <= 5)
      first << "\n  " << args << ": got " << std::hex << bits(got) << std::dec << ", expected "
            << hex;
  }
  EXPECT_GT(rows, 0);
  EXPECT_EQ(mismatches, 0) << "of " << rows << " rows in " << name << first.str();
}

} // namespace

TEST(Special, LnGammaMatchesReferenceBits) {
  expect_table_bits("lngamma.tsv", [](std::istream &in) {
    double n = 0;
    in >> n;
    return std::pair{whole(n), dlngam(n)};
  });
}

TEST(Special, LnBetaMatchesReferenceBits) {
  expect_table_bits("lnbeta.tsv", [](std::istream &in) {
    double a = 0, b = 0;
    in >> a >> b;
    return std::pair{whole(a) + ", " + whole(b), dlbeta(a, b)};
  });
}

TEST(Special, ExactSmallValues) {
  EXPECT_EQ(bits(dlngam(1.0)), bits(0.0));
  EXPECT_EQ(bits(dlngam(2.0)), bits(0.0));
  EXPECT_EQ(bits(dlbeta(1.0, 1.0)), bits(0.0));
}

TEST(Special, BetaIsSymmetricBitForBit) {
  // Pairs on both sides of 10, covering all three branches.
  for (double a : {1.0, 3.0, 9.0, 10.0, 11.0, 57.0, 600.0, 12345.0})
    for (double b : {1.0, 2.0, 9.0, 10.0, 23.0, 400.0, 99999.0})
      EXPECT_EQ(bits(dlbeta(a, b)), bits(dlbeta(b, a))) << a << ", " << b;
}
