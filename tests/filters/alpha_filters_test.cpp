// Every rule of the filter table against plain expected functions, on edge-value pixels, on
// random images and in place; examples of the alpha rules.

#include "filters/alpha_filters.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hostkit/colour_answer.h"
#include "tests/support/every_filter.h"
#include "tests/support/expected_rules.h"
#include "tests/support/rule_check.h"
#include "tests/support/test_image.h"

namespace veilmere {
namespace {

using test::Bgra;
using test::RunRow;

class EveryRule : public testing::TestWithParam<int> {};

// Each filter of the table, its colour filters built while the host answers kTestColours.
TEST_P(EveryRule, MatchesThePlainRuleOnEdgeValuesAndRandomImages) {
  std::unique_ptr<Filter> filter;
  {
    const hostkit::ColourAnswer host(test::kTestColours);
    filter = std::move(test::MakeEveryFilter().at(GetParam()));
  }
  const auto& rule = test::RuleFor(test::English(*filter));
  const test::HostColours& colours = test::kTestColours;

  const auto edges = test::EdgePixels();
  const auto result = RunRow(*filter, edges);
  for (std::size_t i = 0; i < edges.size(); ++i)
    ASSERT_EQ(result[i], rule(edges[i], colours)) << "source " << edges[i];

  // The rectangle inside a larger image with a longer row.
  test::TestImage source(37, 23, 41), canvas(37, 23, 41);
  source.FillRandom(GetParam() + 100);
  canvas.FillRandom(GetParam() + 200);
  const FilterRect rect{3, 2, 34, 21};
  EXPECT_TRUE(test::RunsAsTheRule(
      source, canvas, rect, [&](Pixel p) { return rule(p, colours); },
      [&](Pixel* from, Pixel* to) {
        ProgressRecord record{nullptr, nullptr, 0};
        filter->Execute(0, from, to, 0, &rect, 0, source.rowLength, 0, &record);
      }));
}

INSTANTIATE_TEST_SUITE_P(FilterTable, EveryRule, testing::Range(0, kFilterCount));

TEST(AlphaRuleExamples, LuminanceOnPrimariesAllThreeChannelsInversionAndOpacity) {
  BrightnessToTransparencyFilter brightness;
  DarknessToTransparencyFilter darkness;
  WhiteToTransparentFilter white;
  BlackToTransparentFilter black;
  InvertTransparencyFilter invert;
  OpacifyFilter opacify;
  const struct { Filter& filter; std::vector<Pixel> source, result; } examples[] = {
      {brightness, {Bgra(255, 255, 255, 9), Bgra(0, 0, 0, 9), Bgra(0, 0, 255, 9)},
       {Bgra(255, 255, 255, 0), Bgra(0, 0, 0, 255), Bgra(0, 0, 255, 179)}},
      {darkness, {Bgra(0, 0, 255, 9), Bgra(0, 255, 0, 9), Bgra(255, 0, 0, 9)},
       {Bgra(0, 0, 255, 76), Bgra(0, 255, 0, 149), Bgra(255, 0, 0, 28)}},
      {white, {Bgra(254, 255, 255, 200), Bgra(255, 255, 255, 200)},
       {Bgra(254, 255, 255, 200), Bgra(255, 255, 255, 0)}},
      {black, {Bgra(0, 1, 0, 200), Bgra(0, 0, 0, 200)}, {Bgra(0, 1, 0, 200), Bgra(0, 0, 0, 0)}},
      {invert, {Bgra(1, 2, 3, 0), Bgra(1, 2, 3, 255), Bgra(1, 2, 3, 128)},
       {Bgra(1, 2, 3, 255), Bgra(1, 2, 3, 0), Bgra(1, 2, 3, 127)}},
      {opacify, {Bgra(1, 2, 3, 0)}, {Bgra(1, 2, 3, 255)}}};
  for (const auto& example : examples)
    EXPECT_EQ(RunRow(example.filter, example.source), example.result) << test::English(example.filter);
}

}  // namespace
}  // namespace veilmere
