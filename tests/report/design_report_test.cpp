// A design's renderings: the chart well-formed with what it promises, the
// page within 80 columns, the CSV one line per composite.
#include <gtest/gtest.h>

#include <sstream>

#include "report/design.h"
#include "report/design_plot.h"
#include "xml_check.h"

namespace {

design_options three_predictors() {
  design_options o;
  o.predictors = {{"GMA & <co>", 0.52, -0.72}, {"SI", 0.48, -0.39}, {"C", 0.22, 0.09}};
  o.correlations = {{1, .31, .03}, {.31, 1, .13}, {.03, .13, 1}};
  o.ntot = 100;
  o.nhire = 10;
  o.prop = 0.2;
  o.points = 6;
  o.threads = 1;
  o.compare = {{"unit", {}}, {"mine, too", {1, 2, 3}}};
  return o;
}

std::size_t count(const std::string &s, const std::string &what) {
  std::size_t n = 0;
  for (std::size_t i = s.find(what); i != std::string::npos; i = s.find(what, i + 1))
    ++n;
  return n;
}

TEST(DesignReport, ChartHoldsTheFrontTheComparedAndTheBound) {
  for (const std::optional<double> risk : {std::optional<double>{}, std::optional<double>{0.3}}) {
    design_options o = three_predictors();
    o.max_risk = risk;
    const design_result r = solve_design(o);
    const std::string svg = design_svg(o, r);
    EXPECT_EQ(xml_fault(svg), "");
    const std::size_t at = svg.find("id=\"front\" d=\"");
    ASSERT_NE(at, std::string::npos);
    const std::string d = svg.substr(at, svg.find('"', at + 14) - at);
    EXPECT_EQ(count(d, "M") + count(d, "L"), r.front.size());
    EXPECT_EQ(count(svg, "<rect x="), r.compared.size() + 1); // and the legend's
    EXPECT_NE(svg.find("mine, too"), std::string::npos);
    EXPECT_EQ(svg.find("max risk") != std::string::npos, risk.has_value());
    EXPECT_EQ(svg.find("the chosen composite") != std::string::npos, r.chosen.has_value());
  }
}

TEST(DesignReport, PageAndCsv) {
  design_options o = three_predictors();
  o.min_impact_ratio = 0.7;
  const design_result r = solve_design(o);
  std::istringstream page(design_page(o, r));
  for (std::string line; std::getline(page, line);)
    EXPECT_LE(line.size(), 80u) << line;
  const std::string csv = design_csv(o, r);
  EXPECT_EQ(count(csv, "\n"), 1 + r.front.size() + r.compared.size() + (r.chosen ? 1 : 0));
  EXPECT_NE(csv.find(",weight_GMA & <co>,weight_SI,weight_C\n"), std::string::npos);
  EXPECT_NE(csv.find("\ncompared,\"mine, too\","), std::string::npos);
  EXPECT_EQ(count(csv, "\nchosen,"), 1u);
}

} // namespace
