// The built module seen from outside, as a host sees it: loaded by path, every export looked
// up by name and called through a pointer of its exact prototype and calling convention.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "hostkit/colour_answer.h"
#include "hostkit/loaded_module.h"
#include "hostkit/text.h"
#include "tests/support/expected_rules.h"
#include "tests/support/labels.h"
#include "tests/support/module_suite.h"
#include "tests/support/rule_check.h"
#include "tests/support/strncpy_rule.h"
#include "tests/support/version.h"
#include "tests/support/progress_log.h"
#include "tests/support/test_image.h"

namespace veilmere::test {
namespace {

using hostkit::Cp932ToUtf8;

constexpr unsigned char kFill = 0xAA;  // what a buffer holds before a call

// Every test here calls the module's exports directly, as a host does.
using ModuleTest = ModuleSuite;

TEST_F(ModuleTest, LoadingAsksTheHostForItsColoursThreeTimesAndNothingElseDoes) {
  ASSERT_EQ(queriesWhileLoading_.size(), 3u);
  EXPECT_EQ(queriesWhileLoading_[0].id, 1);
  EXPECT_EQ(queriesWhileLoading_[1].id, 3);
  EXPECT_EQ(queriesWhileLoading_[2].id, 1);
  for (const hostkit::ColourQuery& call : queriesWhileLoading_) EXPECT_NE(call.answer, nullptr);

  const hostkit::ColourAnswer afterLoading(kTestColours);
  TestImage image(8, 8, 8);
  const FilterRect rect{0, 0, 8, 8};
  for (std::int32_t i = 0; i < Count(); ++i) {
    module_->Execute()(i, 0, image.data(), image.data(), 0, &rect, 0, 8, 0, nullptr, nullptr);
    module_->Setup()(i, 0, 0, 0, 0);
    Labels(i);
  }
  EXPECT_TRUE(afterLoading.queries().empty());
}

TEST_F(ModuleTest, ColourFiltersUseTheColoursTheHostAnswered) {
  // The test host answers drawing (10, 20, 30, 40) and background (200, 150, 100, 50).
  const Pixel sources[] = {{10, 20, 30, 255}, {10, 20, 31, 255}, {10, 20, 30, 7}, {0, 0, 0, 0}};
  const auto run = [&](std::int32_t index) {
    std::vector<Pixel> row(std::begin(sources), std::end(sources));
    const FilterRect rect{0, 0, 4, 1};
    module_->Execute()(index, 0, row.data(), row.data(), 0, &rect, 0, 4, 0, nullptr, nullptr);
    return row;
  };
  EXPECT_EQ(run(1), std::vector<Pixel>(4, Pixel{10, 20, 30, 0}));
  EXPECT_EQ(run(2), std::vector<Pixel>(4, Pixel{200, 150, 100, 0}));
  EXPECT_EQ(run(7), (std::vector<Pixel>{{10, 20, 30, 0}, {10, 20, 31, 255}, {10, 20, 30, 0}, {0, 0, 0, 0}}));
}

TEST_F(ModuleTest, EveryExportIsFoundUnderEachOfItsNames) {
  const char* const kPlain[] = {"QF_GetPluginInfo", "QFF_FilterCount", "QFF_GetName",
                                "QFF_Execute", "QFF_Setup"};
  for (const char* name : kPlain) EXPECT_NE(module_->Symbol(name), nullptr) << name;
  // Decorated stdcall names exist only in the 32-bit module: 64-bit Windows has one calling
  // convention, and the 64-bit test build publishes the plain names alone.
#if defined(_WIN32) && !defined(_WIN64)
  const char* const kDecorated[] = {"_QF_GetPluginInfo@8", "_QFF_FilterCount@0",
                                    "_QFF_GetName@20", "_QFF_Execute@44", "_QFF_Setup@20"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_NE(module_->Symbol(kDecorated[i]), nullptr) << kDecorated[i];
    EXPECT_EQ(module_->Symbol(kDecorated[i]), module_->Symbol(kPlain[i])) << kDecorated[i];
  }
  // Called through the decorated name too: the callee pops its 44 bytes of arguments.
  const auto execute = module_->Function<ExecuteFn>("_QFF_Execute@44");
  ProgressLog log;
  EXPECT_EQ(execute(0, 0, nullptr, nullptr, 0, nullptr, 0, 0, 0, &RecordProgress, &log), 1100);
  EXPECT_EQ(module_->Function<FilterCountFn>("_QFF_FilterCount@0")(), Count());
  char info[8], category[8], name[8];
  EXPECT_EQ(module_->Function<GetPluginInfoFn>("_QF_GetPluginInfo@8")(info, sizeof info), 1);
  EXPECT_EQ(module_->Function<GetNameFn>("_QFF_GetName@20")(0, category, sizeof category, name,
                                                            sizeof name),
            name);
  EXPECT_EQ(module_->Function<SetupFn>("_QFF_Setup@20")(0, 0, 0, 0, 0), 1);
#endif
}

TEST_F(ModuleTest, ListsTheFiltersWithTheirLabelsByteForByte) {
  const auto& expected = ExpectedFilterLabels();
  ASSERT_EQ(Count(), static_cast<std::int32_t>(expected.size()));
  for (std::int32_t i = 0; i < Count(); ++i) {
    const auto [category, name] = Labels(i);
    EXPECT_EQ(Cp932ToUtf8(category), kCategory.Joined());
    EXPECT_EQ(Cp932ToUtf8(name), expected[i].Joined()) << i;
  }
}

// Checks one copy made with `length` against the strncpy rule for `text`, in a buffer of
// `length` + 8 bytes that held kFill before.
void ExpectStrncpyRule(const std::vector<unsigned char>& buffer, const std::string& text,
                       std::size_t length) {
  std::string want = StrncpyResult(text, length);
  want.resize(buffer.size(), static_cast<char>(kFill));
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), want) << "a copy of length " << length;
}

// Label copies at every length near each label's are checked against guard pages, in
// guard_page_test.

TEST_F(ModuleTest, OutOfRangeIndexesGiveNulFilledBuffersAndSetupZero) {
  for (const std::int32_t index : {Count(), Count() + 1, -1, INT_MIN, INT_MAX}) {
    std::vector<unsigned char> category(40, kFill), name(40, kFill);
    char* result = module_->GetName()(index, reinterpret_cast<char*>(category.data()), 32,
                                      reinterpret_cast<char*>(name.data()), 24);
    EXPECT_EQ(result, reinterpret_cast<char*>(name.data()));
    ExpectStrncpyRule(category, "", 32);
    ExpectStrncpyRule(name, "", 24);
    EXPECT_EQ(module_->Setup()(index, 0, 0, 0, 0), 0) << index;
  }
  for (std::int32_t i = 0; i < Count(); ++i) EXPECT_EQ(module_->Setup()(i, 0, 3, 4, 5), 1) << i;
}

TEST_F(ModuleTest, InformationLineAndNullBuffers) {
  for (const std::uint32_t length : {256u, 0u, 4u}) {
    std::vector<unsigned char> buffer(length + 8, kFill);
    EXPECT_EQ(module_->GetPluginInfo()(reinterpret_cast<char*>(buffer.data()), length), 1);
    ExpectStrncpyRule(buffer, InfoLine(), length);
  }

  // A null buffer with a length gets nothing written, and nothing fails.
  EXPECT_EQ(module_->GetPluginInfo()(nullptr, 100), 1);
  char name[8];
  EXPECT_EQ(module_->GetName()(0, nullptr, 100, name, sizeof name), name);
  EXPECT_EQ(module_->GetName()(0, name, sizeof name, nullptr, 100), nullptr);
}

TEST_F(ModuleTest, RunsAreBracketedByZeroAndHundred) {
  test::TestImage image(4, 3, 4);
  const FilterRect threeRows{0, 0, 4, 3};
  const FilterRect empty{0, 2, 4, 2};
  struct Case {
    std::int32_t index;
    const FilterRect* rect;
    std::vector<std::int32_t> positions;
  };
  for (const Case& c : {Case{0, &threeRows, {0, 33, 66, 100}}, Case{Count() - 1, &threeRows, {0, 33, 66, 100}},
                        Case{Count(), &threeRows, {0, 100}}, Case{-1, &threeRows, {0, 100}},
                        Case{0, &empty, {0, 100}}, Case{0, nullptr, {0, 100}}}) {
    ProgressLog log;
    const std::int32_t result = module_->Execute()(c.index, 0, image.data(), image.data(), 0,
                                                   c.rect, 0, 4, 0, &RecordProgress, &log);
    EXPECT_EQ(log.Positions(), c.positions) << "index " << c.index;
    EXPECT_EQ(result, 1100) << "the result of the host's last call comes back";
    for (const auto& call : log.calls) {
      EXPECT_EQ(call.maximum, 100);
      EXPECT_EQ(call.user, &log);
    }
  }
  EXPECT_EQ(module_->Execute()(0, 0, image.data(), image.data(), 0, &threeRows, 0, 4, 0,
                               nullptr, nullptr),
            0);
}

TEST_F(ModuleTest, EveryRuleOnRandomImagesLeavesTheBorderUntouched) {
  const HostColours host = kTestColours;
  const FilterRect rect{5, 4, 59, 44};
  for (std::int32_t index = 0; index < Count(); ++index) {
    const std::string name = Labels(index).second;
    const auto& rule = RuleFor(name);
    TestImage source(64, 48, 70), canvas(64, 48, 70);
    source.FillRandom(7 * index + 1);
    for (std::size_t i = 0; i < source.pixels.size(); i += 7) {  // some in the drawing colour
      source.pixels[i] = WithAlpha(host.drawing, source.pixels[i].a);
    }
    canvas.FillRandom(7 * index + 2);
    ProgressLog log;
    EXPECT_TRUE(RunsAsTheRule(
        source, canvas, rect, [&](Pixel p) { return rule(p, host); },
        [&](Pixel* from, Pixel* to) {
          log = ProgressLog();
          module_->Execute()(index, 0, from, to, 0, &rect, 0, 70, 0, &RecordProgress, &log);
        }))
        << name;
    EXPECT_EQ(log.Positions(), ExpectedPositions(40)) << name;
  }
}

}  // namespace
}  // namespace veilmere::test
