// A host that does not export QFF_QueryClientInfo: the module still loads and offers every
// filter, and the colour filters work with their defined colour, all zero bytes.

#include <gtest/gtest.h>

#include <string>

#include "plugin/colour_query.h"
#include "hostkit/loaded_module.h"
#include "tests/support/expected_rules.h"
#include "tests/support/labels.h"
#include "tests/support/rule_check.h"
#include "tests/support/test_image.h"

namespace veilmere::test {
namespace {

TEST(HostWithoutColourQuery, TheQueryAnswersZeroAndLeavesTheAnswerAlone) {
  Pixel answer{1, 2, 3, 4};
  EXPECT_EQ(HostColourQuery(kDrawingColour, &answer), 0);
  EXPECT_EQ(answer, (Pixel{1, 2, 3, 4}));
}

TEST(HostWithoutColourQuery, TheModuleLoadsAndEveryFilterRunsWithZeroColours) {
  auto module = hostkit::LoadedModule::Load(VEILMERE_MODULE_PATH);
  ASSERT_NE(module, nullptr) << hostkit::LoadedModule::LastError();
  const std::int32_t count = module->FilterCount()();
  ASSERT_EQ(count, static_cast<std::int32_t>(ExpectedFilterLabels().size()));

  const HostColours zero{};  // the colour a filter holds when the host does not answer
  const FilterRect rect{1, 1, 15, 11};
  for (std::int32_t index = 0; index < count; ++index) {
    const std::string label = NameLabel(*module, index);
    const auto& rule = RuleFor(label);

    TestImage source(16, 12, 16), canvas(16, 12, 16);
    source.FillRandom(index + 5);
    source.at(2, 2) = Pixel{0, 0, 0, 200};  // matches the zero drawing colour
    canvas.FillRandom(index + 6);
    EXPECT_TRUE(RunsAsTheRule(
        source, canvas, rect, [&](Pixel p) { return rule(p, zero); },
        [&](Pixel* from, Pixel* to) {
          module->Execute()(index, 0, from, to, 0, &rect, 0, 16, 0, nullptr, nullptr);
        }))
        << label;
  }
}

}  // namespace
}  // namespace veilmere::test
