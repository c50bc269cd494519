// One reading of a number for every option and parameter: what it takes,
// what it refuses, and the plain message it refuses with.
#include "input/number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(Number, WholeNumbers) {
  const struct {
    const char *text;
    bool taken;
    int value;
  } cases[] = {
      {"12", true, 12},    {"+12", true, 12},  {"-12", true, -12},
      {" 12\t", true, 12}, {"0", true, 0},     {"2147483647", true, 2147483647},
      {"", false, 0},      {" ", false, 0},    {"1e9", false, 0},
      {"12.", false, 0},   {"12.0", false, 0}, {"2147483648", false, 0},
      {"0x10", false, 0},  {"1 2", false, 0},  {"--1", false, 0},
      {"+-1", false, 0},   {"12,", false, 0},  {"abc", false, 0},
  };
  for (const auto &c : cases) {
    int v = -7;
    const std::string why = read_whole("ntot", c.text, v);
    EXPECT_EQ(why.empty(), c.taken) << c.text;
    EXPECT_EQ(v, c.taken ? c.value : -7) << c.text;
    if (!c.taken) {
      EXPECT_EQ(why, "ntot must be a whole number, not '" + std::string(c.text) + "'");
    }
  }
}

TEST(Number, Numbers) {
  const struct {
    const char *text;
    bool taken;
  } cases[] = {
      {"0.15", true},   {"-0.15", true},  {"+.5", true},     {"1.5e-1", true}, {"1.5E+1", true},
      {" 3 ", true},    {"1e-400", true}, {"7", true},       {"1e400", false}, {"nan", false},
      {"inf", false},   {"-inf", false},  {"1.5d-1", false}, {"0x1p3", false}, {"1.5e", false},
      {"1.5.3", false}, {"", false},      {"1,5", false},    {"e5", false},    {"--1", false},
  };
  for (const auto &c : cases) {
    double v = -7.0;
    const std::string why = read_number("--esize", c.text, v);
    EXPECT_EQ(why.empty(), c.taken) << c.text;
    // The value strtod gives the same text: an independent reading.
    EXPECT_EQ(v, c.taken ? std::strtod(c.text, nullptr) : -7.0) << c.text;
    if (!c.taken) {
      EXPECT_EQ(why, "--esize must be a number, not '" + std::string(c.text) + "'");
    }
  }
}

} // namespace
