// What the pages and files say at the edges: counts of one, numbers in their
// shortest form, lines within 80 columns however large or small a value,
// levels and critical values that show their digits, names that cannot act
// on the terminal, and the rules' reasons for flagging where they act.
#include <gtest/gtest.h>

#include "run_torvan.h"

namespace {

const std::string events = "event,minority_applicants,minority_hires,majority_applicants,"
                           "majority_hires\n";

TEST(Wording, PagesAndFilesSayWhatTheyMean) {
  const struct {
    std::string args, input;
    int status;
    std::string has, lacks;
  } cases[] = {
      {"audit --events -", events + "2023,5,2,5,3\n", 0, "TORVAN audit of 1 event\n", "1 events"},
      {"plan --esize -0.5 --prop 0.3 --nhire 5 --ntot 36:36 --format csv", "", 0, "\n36,5,10.8,",
       "10.799999999999999"},
      {"plan --esize 1e300 --prop 0.3 --nhire 2 --ntot 5:6", "", 0, "Effect size 1.000000e+300; ",
       "000000000000"},
      {"--format summary --method direct", "10 2 1e300 0.3\n", 0, "effect size 1.000000e+300\n",
       "000000000000000"},
      {"audit --alpha 1e-9 5 1 5 1", "", 0, "interval of the impact ratio", "00000000000"},
      {"audit --alpha 1e-10 12 3 12 9", "", 0, "99.99999999% exact interval", "100%"},
      {"audit --alpha 1e-12 12 3 12 9", "", 0, "1 - 1e-12 interval of the impact ratio", "100%"},
      {"audit --alpha 0.999999 12 3 12 9", "", 0, "z <= -1.2533e-06 ", "-0.0000"},
      {"audit --events -",
       events + "\x1b[2J\xc2\x9b"
                "2J,5,2,5,3\n",
       0, "Event 1 of 1: \\x1b[2J\\u009b2J\n", "\x1b"},
      {"audit --alpha 1e-10 1 0 10 1", "", 0,
       "z <= -6.4670 ...................                     yes\n"
       "      no minority hire: z falls without bound, so this test flags at any alpha\n",
       "\n  100%"},
      {"plan --esize 0 --prop 0.3 --selection-ratio 0.2 --ntot 10:50:10 --rule z_ir,z_test", "", 0,
       "\nZ_IR: above alpha at every size: it flags every outcome with no minority hire,",
       "\nZ: above alpha"},
  };
  for (const auto &c : cases) {
    const run_result r = run_torvan(c.input, c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_NE(r.out.find(c.has), std::string::npos) << c.args << "\n" << r.out;
    EXPECT_EQ(r.out.find(c.lacks), std::string::npos) << c.args << "\n" << r.out;
    if (c.args.find("csv") != std::string::npos) continue;
    for (const std::string &line : lines_of(r.out))
      EXPECT_LE(line.size(), 80u) << c.args << "\n" << line;
  }
}

} // namespace
