// A plan's renderings as exact strings from a plan made up for them, and the
// chart's curves: one path per rule, broken where a size has no figures.
#include "report/plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "report/plan_plot.h"
#include "xml_check.h"

namespace {

// Three sizes, the middle one not computed; two rules; numbers exact in binary.
struct made_up {
  plan_options opt;
  plan_result r;
};

made_up three_sizes() {
  made_up m;
  m.opt.esize = -0.5;
  m.opt.prop = 0.25;
  m.opt.selection_ratio = 0.2;
  m.opt.ntot = ntot_range{10, 30, 10};
  m.opt.rules = {"z_test", "four_fifths"};
  m.opt.target = 0.6;
  for (int i = 0; i < 3; ++i) {
    plan_row row;
    row.ntot = 10 + 10 * i;
    row.nhire = 2 * (i + 1);
    row.expected_minority = 0.25 * row.ntot;
    row.f.adverse_impact.four_fifths = 0.5 + 0.125 * i;
    row.f.adverse_impact.z_test = 0.0625 * i;
    row.f.summary.p_above = 0.25 + 0.125 * i;
    row.f.summary.p_undefined = 0.375 - 0.125 * i;
    m.r.rows.push_back(row);
  }
  m.r.rows[1].error = "an integral could not be accepted";
  m.r.found = {{"four_fifths", 30, 30}, {"z_test", std::nullopt, std::nullopt}};
  return m;
}

TEST(PlanReport, Page) {
  const made_up m = three_sizes();
  EXPECT_EQ(plan_page(m.opt, m.r),
            R"(TORVAN plan: the probability that each rule flags the minority, by pool size

Effect size -0.500000; binomial pools, minority proportion 0.250000
Hires: nhire = round(0.2 ntot), at least 1; alpha = 0.05; method direct
Pool sizes: ntot from 10 to 30 in steps of 10

   ntot   nhire  E[min]    4/5      Z  >1.25  undef
     10       2     2.5 0.5000 0.0000 0.2500 0.3750
     20       4     5.0  not computed: an integral could not be accepted
     30       6     7.5 0.7500 0.1250 0.5000 0.1250

4/5: four-fifths rule; Z: two-proportion Z test (pooled variance); >1.25: P(AI >
1.25), the minority's rate below 4/5 of the majority's; undef: P(AI undefined);
E[min]: the expected minority applicants, prop x ntot. Four decimals; the sizes
below use every digit.

Where each rule's probability reaches the target 0.6
  first: the smallest ntot whose probability reaches it; stays: the smallest
  from which it stays at or above it to ntot = 30; none: not reached in the
  range.

                                                         first   stays
  four-fifths rule ...................................      30      30
  two-proportion Z test (pooled variance) ............    none    none
)");
  plan_result cancelled;
  cancelled.cancelled = true;
  const std::string page = plan_page(m.opt, cancelled);
  EXPECT_EQ(page.substr(page.size() - 41), "\nNo plan: the computation was cancelled.\n");
}

TEST(PlanReport, Csv) {
  const made_up m = three_sizes();
  EXPECT_EQ(plan_csv(m.opt, m.r),
            "ntot,nhire,expected_minority,four_fifths,z_test,p_above_1_25,p_undefined,"
            "accuracy_shortfalls,error\n"
            "10,2,2.5,0.5,0,0.25,0.375,0,\n"
            "20,4,5,,,,,,\"an integral could not be accepted\"\n"
            "30,6,7.5,0.75,0.125,0.5,0.125,0,\n");
}

TEST(PlanReport, JsonSaysWhatIsFoundAndWhatIsNot) {
  const made_up m = three_sizes();
  const nlohmann::ordered_json doc = plan_document(m.opt, m.r, {2, 0.5});
  EXPECT_EQ(
      doc["plan"].dump(),
      R"({"esize":-0.5,"prop":0.25,"selection_ratio":0.2,"ntot":{"from":10,"to":30,"step":10},)"
      R"("alpha":0.05,"target":0.6,"rules":["four_fifths","z_test"],"method":"direct"})");
  EXPECT_EQ(doc["found"].dump(),
            R"({"four_fifths":{"first":30,"stays":30},"z_test":{"first":null,"stays":null}})");
  EXPECT_EQ(doc["rows"][1].dump(),
            R"({"ntot":20,"nhire":4,"expected_minority":5.0,)"
            R"("completed":false,"error":"an integral could not be accepted"})");
  EXPECT_EQ(doc["rows"][2].dump(),
            R"({"ntot":30,"nhire":6,"expected_minority":7.5,)"
            R"("completed":true,"four_fifths":0.75,"z_test":0.125,)"
            R"("p_above_1_25":0.5,"p_undefined":0.125,"accuracy_shortfalls":0})");
  EXPECT_FALSE(doc["false_positive"].get<bool>());
  // A row not computed leaves the plan not completed, and says how many.
  EXPECT_FALSE(doc["completed"].get<bool>());
  EXPECT_EQ(doc["rows_failed"].get<int>(), 1);
  EXPECT_EQ(doc["reason"].get<std::string>(),
            "1 of 3 sizes could not be computed (the rows say why)");
  made_up whole = three_sizes();
  whole.r.rows[1].error.clear();
  const nlohmann::ordered_json all = plan_document(whole.opt, whole.r, {2, 0.5});
  EXPECT_TRUE(all["completed"].get<bool>());
  EXPECT_EQ(all["rows_failed"].get<int>(), 0);
  EXPECT_FALSE(all.contains("reason"));
  plan_result cancelled;
  cancelled.cancelled = true;
  const nlohmann::ordered_json none = plan_document(m.opt, cancelled, {2, 0.5});
  EXPECT_FALSE(none["completed"].get<bool>());
  EXPECT_FALSE(none.contains("rows"));
}

std::string path_of(const std::string &svg, const std::string &id) {
  const std::string key = "id=\"" + id + "\" d=\"";
  const std::size_t at = svg.find(key);
  if (at == std::string::npos) return "<none>";
  const std::size_t from = at + key.size();
  return svg.substr(from, svg.find('"', from) - from);
}

std::size_t count(const std::string &s, char c) {
  return static_cast<std::size_t>(std::count(s.begin(), s.end(), c));
}

TEST(PlanReport, ChartBreaksItsLinesWhereSizesHaveNoFigures) {
  made_up m = three_sizes();
  std::string svg = plan_svg(m.opt, m.r);
  EXPECT_EQ(xml_fault(svg), "");
  // Two sizes with a gap between them: two dots, no segment across the gap.
  for (const char *rule : {"rule-four_fifths", "rule-z_test"}) {
    const std::string d = path_of(svg, rule);
    EXPECT_EQ(count(d, 'M'), 2u) << d;
    EXPECT_EQ(count(d, 'L'), 0u) << d;
  }
  EXPECT_EQ(path_of(svg, "rule-fisher_exact"), "<none>");
  EXPECT_NE(svg.find("leave gaps"), std::string::npos);
  m.r.rows[1].error.clear();
  svg = plan_svg(m.opt, m.r);
  EXPECT_EQ(count(path_of(svg, "rule-z_test"), 'L'), 2u);
  EXPECT_EQ(svg.find("leave gaps"), std::string::npos);
  EXPECT_NE(svg.find("Probability that each adverse impact rule flags the minority"),
            std::string::npos);
  m.opt.esize = 0.0;
  EXPECT_NE(plan_svg(m.opt, m.r).find("False-positive rate of each adverse impact rule"),
            std::string::npos);
}

} // namespace

namespace {

double attribute(const std::string &svg, const std::string &name, std::size_t from = 0) {
  const std::size_t at = svg.find(" " + name + "=\"", from);
  return at == std::string::npos ? -1.0 : std::stod(svg.substr(at + name.size() + 3));
}

// A plan of the sizes given, each rule's probability made up from the size;
// "four_fifths_and_z" equal to "z_test" at every size.
made_up sizes(ntot_range range) {
  made_up m;
  m.opt.esize = -1.0;
  m.opt.prop = 0.3;
  m.opt.nhire = 1;
  m.opt.ntot = range;
  m.opt.rules = {"four_fifths", "z_test", "four_fifths_and_z"};
  for (int n = range.from; n <= range.to; n += range.step) {
    plan_row row;
    row.ntot = n;
    row.f.adverse_impact.four_fifths = 0.5;
    row.f.adverse_impact.z_test = row.f.adverse_impact.four_fifths_and_z = 0.25;
    m.r.rows.push_back(row);
  }
  return m;
}

TEST(PlanReport, ChartShowsEveryCurveOnAnAxisThatEndsAtTheData) {
  const struct {
    ntot_range range;
    const char *last_label, *beyond; // the axis's last label; a label it must not have
  } cases[] = {{{10, 2000, 1990}, ">2000</text>", ">5000</text>"},
               {{10, 2000, 10}, ">2000</text>", ">10000</text>"},
               {{2, 2, 1}, ">3</text>", ">10</text>"},
               {{100, 400, 100}, ">400</text>", ">500</text>"}};
  for (const auto &c : cases) {
    const made_up m = sizes(c.range);
    const std::string svg = plan_svg(m.opt, m.r);
    EXPECT_EQ(xml_fault(svg), "");
    EXPECT_NE(svg.find(c.last_label), std::string::npos) << c.range.to;
    EXPECT_EQ(svg.find(c.beyond), std::string::npos) << c.range.to;
    // The equal curve is dashed and the legend names its twin.
    const std::size_t twin = svg.find("id=\"rule-four_fifths_and_z\"");
    ASSERT_NE(twin, std::string::npos);
    EXPECT_LT(svg.find("stroke-dasharray", twin), svg.find('\n', twin));
    EXPECT_EQ(svg.find("stroke-dasharray", svg.find("id=\"rule-z_test\"")),
              svg.find("stroke-dasharray", twin));
    EXPECT_NE(svg.find("four-fifths rule and Z test: the same curve as two-proportion Z test"),
              std::string::npos);
    // One size: a ring for each rule, in the middle of the axis.
    if (c.range.from == c.range.to) {
      const std::size_t ring = svg.find("<circle");
      ASSERT_NE(ring, std::string::npos);
      EXPECT_DOUBLE_EQ(attribute(svg, "cx", ring), 450.0);
    }
    // The page ends a margin below the legend's last line.
    const double height = attribute(svg, "height");
    const double last_line = attribute(svg, "y", svg.rfind("<text"));
    EXPECT_GT(height, last_line);
    EXPECT_LE(height - last_line, 30.0) << c.range.to;
  }
}

} // namespace
