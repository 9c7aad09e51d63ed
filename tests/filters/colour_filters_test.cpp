// The host-colour filters and the colour query, in a test program that exports the host's
// QFF_QueryClientInfo from its own executable.

#include "filters/colour_filters.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "hostkit/colour_answer.h"
#include "plugin/colour_query.h"
#include "tests/support/every_filter.h"
#include "tests/support/expected_rules.h"
#include "tests/support/test_image.h"

namespace veilmere {
namespace {

using test::Bgra;
using test::kTestColours;  // drawing (10, 20, 30, 40), background (200, 150, 100, 50)
using test::RunRow;

TEST(ColourFilters, TheQueryReachesTheHostOnceAndReturnsItsResult) {
  hostkit::ColourAnswer host(kTestColours, -5);
  Pixel answer{1, 2, 3, 4};
  EXPECT_EQ(HostColourQuery(kBackgroundColour, &answer), -5);
  EXPECT_EQ(answer, Bgra(200, 150, 100, 50));
  ASSERT_EQ(host.queries().size(), 1u);
  EXPECT_EQ(host.queries()[0].id, kBackgroundColour);
  EXPECT_EQ(host.queries()[0].answer, &answer);
}

TEST(ColourFilters, EachAsksOnceWhenBuiltAndNeverWhenRun) {
  std::vector<hostkit::ColourQuery> queries;
  std::optional<FillWithDrawingColourFilter> fillDrawing;
  std::optional<FillWithBackgroundColourFilter> fillBackground;
  std::optional<DrawingColourToTransparentFilter> drawingToTransparent;
  {
    const hostkit::ColourAnswer host(kTestColours);
    fillDrawing.emplace();
    fillBackground.emplace();
    drawingToTransparent.emplace();
    queries = host.queries();
  }
  ASSERT_EQ(queries.size(), 3u);
  EXPECT_EQ(queries[0].id, kDrawingColour);
  EXPECT_EQ(queries[1].id, kBackgroundColour);
  EXPECT_EQ(queries[2].id, kDrawingColour);

  // A colour the user picks later does not reach a filter already built.
  const hostkit::ColourAnswer later({Bgra(1, 1, 1, 1), Bgra(1, 1, 1, 1)});
  const std::vector<Pixel> any = {Bgra(0, 0, 0, 0), Bgra(255, 255, 255, 255), Bgra(10, 20, 30, 255)};
  EXPECT_EQ(RunRow(*fillDrawing, any), std::vector<Pixel>(3, Bgra(10, 20, 30, 0)));
  EXPECT_EQ(RunRow(*fillBackground, any), std::vector<Pixel>(3, Bgra(200, 150, 100, 0)));
  EXPECT_EQ(RunRow(*drawingToTransparent, {Bgra(10, 20, 30, 255), Bgra(10, 20, 31, 255),
                                           Bgra(10, 20, 30, 7), Bgra(11, 20, 30, 0)}),
            (std::vector<Pixel>{Bgra(10, 20, 30, 0), Bgra(10, 20, 31, 255), Bgra(10, 20, 30, 0),
                                Bgra(11, 20, 30, 0)}));
  EXPECT_TRUE(later.queries().empty());
}

TEST(ColourFilters, MatchThePlainRulesOnEdgeValuesWithAnEdgeDrawingColour) {
  const test::HostColours host{Bgra(255, 0, 128, 3), Bgra(0, 255, 1, 254)};
  const hostkit::ColourAnswer answer(host);
  FillWithDrawingColourFilter fillDrawing;
  FillWithBackgroundColourFilter fillBackground;
  DrawingColourToTransparentFilter drawingToTransparent;
  const auto edges = test::EdgePixels();
  for (const Filter* filter :
       std::vector<const Filter*>{&fillDrawing, &fillBackground, &drawingToTransparent}) {
    const auto& rule = test::RuleFor(filter->Name());
    const auto result = RunRow(const_cast<Filter&>(*filter), edges);
    for (std::size_t i = 0; i < edges.size(); ++i)
      ASSERT_EQ(result[i], rule(edges[i], host)) << filter->Name() << " on " << edges[i];
  }
}

}  // namespace
}  // namespace veilmere
