// Loading a module as qfhost does: its five exports, its labels converted to UTF-8, running
// its filters with the host's colours and progress, finding a filter by index or name, and
// refusing what is not a complete module.

#include "tools/qfhost/module.h"

#include <gtest/gtest.h>

#include <variant>

#include "tests/support/expected_rules.h"
#include "tests/support/labels.h"
#include "tests/support/progress_log.h"
#include "tests/support/rule_check.h"
#include "tests/support/test_image.h"
#include "tests/support/version.h"
#include "tests/tools/qfhost/support/random_image.h"
#include "tools/qfhost/errors.h"
#include "tools/qfhost/options.h"

namespace veilmere::qfhost {
namespace {

const hostkit::HostColours kDefaults{kDefaultDrawingColour, kDefaultBackgroundColour};

std::string LoadError(const std::string& path) {
  try {
    FilterModule module(path, kDefaults);
  } catch (const RunError& error) {
    return error.what();
  }
  return "loaded";
}

TEST(FilterModule, ListsTheInformationLineAndEveryFilterInUtf8) {
  const FilterModule module(VEILMERE_MODULE_PATH, kDefaults);
  EXPECT_EQ(module.Info(), test::InfoLine());
  const std::vector<FilterEntry> filters = module.Filters();
  const auto& expected = test::ExpectedFilterLabels();
  ASSERT_EQ(filters.size(), expected.size());
  for (std::size_t i = 0; i < filters.size(); ++i) {
    EXPECT_EQ(filters[i].index, static_cast<std::int32_t>(i));
    EXPECT_EQ(filters[i].category, test::kCategory.Joined());
    EXPECT_EQ(filters[i].name, expected[i].Joined()) << i;
  }
}

TEST(FilterModule, RunsEachFilterOverTheRectangleWithTheHostsColours) {
  // The module asks for the colours while it loads: two loads with different colours.
  const test::HostColours runs[] = {{Pixel{10, 20, 30, 40}, Pixel{200, 150, 100, 50}},
                                    {Pixel{1, 2, 3, 255}, Pixel{250, 251, 252, 253}}};
  for (const test::HostColours& colours : runs) {
    const FilterModule module(VEILMERE_MODULE_PATH, colours);
    const std::vector<FilterEntry> filters = module.Filters();
    const FilterRect rect{3, 2, 17, 11};
    for (const FilterEntry& filter : filters) {
      Image source = RandomImage(20, 13, 100 + filter.index);
      source.at(5, 5) = colours.drawing;  // one pixel of exactly the drawing colour
      source.at(6, 5) = Pixel{255, 255, 255, 9};
      source.at(7, 5) = Pixel{0, 0, 0, 200};
      const Image original = source;
      Image destination = RandomImage(20, 13, 200 + filter.index);
      const Image before = destination;
      test::ProgressLog log;
      module.Execute(filter.index, source, destination, rect, &test::RecordProgress, &log);

      const auto& rule = test::RuleFor(std::string(EnglishPart(filter.name)));
      EXPECT_TRUE(test::RectHolds(
          destination, 20, 13, rect, [&](auto x, auto y) { return rule(original.at(x, y), colours); },
          [&](auto x, auto y) { return before.at(x, y); }))
          << filter.name;
      EXPECT_EQ(source.pixels, original.pixels) << filter.name;
      EXPECT_EQ(log.Positions(), test::ExpectedPositions(9)) << filter.name;
    }
  }
}

TEST(FilterModule, RefusesToRunOutsideTheImages) {
  const FilterModule module(VEILMERE_MODULE_PATH, kDefaults);
  Image source(4, 4), destination(4, 4), small(3, 4);
  EXPECT_THROW(module.Execute(0, source, destination, FilterRect{0, 0, 5, 4}, nullptr, nullptr), RunError);
  EXPECT_THROW(module.Execute(0, source, destination, FilterRect{-1, 0, 4, 4}, nullptr, nullptr), RunError);
  EXPECT_THROW(module.Execute(0, source, small, FilterRect{0, 0, 3, 4}, nullptr, nullptr), RunError);
  EXPECT_NO_THROW(module.Execute(0, source, destination, FilterRect{0, 0, 4, 4}, nullptr, nullptr));
}

TEST(FilterModule, RefusesWhatIsNotACompleteModuleSayingWhy) {
  for (const std::string path : {QFHOST_TEST_DATA "/no-such-module.qfi", QFHOST_TEST_DATA "/sample.png"})
    EXPECT_EQ(LoadError(path).rfind("cannot load module '" + path + "': ", 0), 0u) << LoadError(path);
  EXPECT_EQ(LoadError(QFHOST_MODULE_WITHOUT_SETUP_PATH),
            "module '" QFHOST_MODULE_WITHOUT_SETUP_PATH "' lacks the export QFF_Setup");
}

std::vector<FilterEntry> SomeFilters() {
  return {{0, "Transparency|透明度", "Transparentize|透明化"},
          {1, "Transparency|透明度", "Opacify|不透明化"},
          {2, "Transparency|透明度", "Blur|ぼかし"},
          {3, "Transparency|透明度", "BLUR|強いぼかし"},
          {4, "Transparency|透明度", "NoJapanese"},
          {5, "Transparency|透明度", "Transparentize(Fill with FGC)|透明化(描画色で塗りつぶす)"}};
}

// "found N", or the message FindFilter refused `query` with.
std::string Find(const std::vector<FilterEntry>& filters, std::string_view query) {
  try {
    return "found " + std::to_string(FindFilter(filters, query));
  } catch (const RunError& error) {
    return error.what();
  }
}

TEST(FindFilter, ByIndexOrByNameExactFirstThenIgnoringCase) {
  // "Blur" is an exact match, which beats the case-blind one with "BLUR"; the last two are the
  // README's spelling, where spaces around a parenthesis do not count.
  const std::pair<const char*, std::int32_t> cases[] = {
      {"0", 0},           {"4", 4},       {"004", 4},        {"Opacify", 1},
      {"不透明化", 1},    {"Opacify|不透明化", 1},           {"opACIFY", 1},
      {"Blur", 2},        {"BLUR", 3},    {"NoJapanese", 4}, {"nojapanese", 4},
      {"Transparentize (Fill with FGC)", 5}, {"transparentize ( fill with fgc )", 5}};
  for (const auto& [query, index] : cases)
    EXPECT_EQ(Find(SomeFilters(), query), "found " + std::to_string(index)) << query;
}

TEST(FindFilter, AnUnknownNameGetsTheNearestNames) {
  EXPECT_EQ(Find(SomeFilters(), "Opacfy"),
            "unknown filter 'Opacfy'; did you mean 'Opacify'? ('qfhost list MODULE' shows every "
            "filter)");
  EXPECT_NE(Find(SomeFilters(), "Blurr").find("did you mean 'Blur' or 'BLUR'?"), std::string::npos);
  EXPECT_NE(Find(SomeFilters(), "不透明").find("did you mean '不透明化'?"), std::string::npos);
  EXPECT_EQ(Find(SomeFilters(), "Sharpen").find("did you mean"), std::string::npos);
}

// What a user types for the shipped module's names: the correct spelling of its misspelt
// label, a Japanese name with a Japanese keyboard's parentheses. A word of a name is answered
// with the names that hold it, and a number that is no index with the indexes, not names.
TEST(FindFilter, TheShippedNamesAsUsersTypeThem) {
  const std::vector<FilterEntry> shipped{
      {0, "Transparency|透明度", "Transparentize|透明化"},
      {1, "Transparency|透明度", "Transparentize(Fill with FGC)|透明化(描画色で塗りつぶす)"},
      {7, "Transparency|透明度", "Transpparentize FGC Pixels|描画色を透明化"},
      {9, "Transparency|透明度", "Invert Transparency|透明度反転"}};
  // Found: the index; else what the message must hold ("did you mean" only for words).
  const std::pair<const char*, std::variant<std::int32_t, const char*>> cases[] = {
      {"Transpparentize FGC Pixels", 7}, {"transparentize fgc pixels", 7},
      {"透明化（描画色で塗りつぶす）", 1}, {"透明化 （描画色で塗りつぶす）", 1},
      {"Invert", "did you mean 'Invert Transparency'?"}, {"反転", "did you mean '透明度反転'?"},
      {"-1", "0 to 3"}, {"9.0", "0 to 3"}, {"+2", "0 to 3"}};
  for (const auto& [query, want] : cases) {
    const std::string said = Find(shipped, query);
    if (const auto* index = std::get_if<std::int32_t>(&want)) {
      EXPECT_EQ(said, "found " + std::to_string(*index)) << query;
    } else {
      EXPECT_NE(said.find(std::get<const char*>(want)), std::string::npos) << said;
      const bool word = static_cast<unsigned char>(query[0]) > '9';
      EXPECT_EQ(said.find("did you mean") != std::string::npos, word) << said;
    }
  }
}

TEST(FindFilter, RefusesAnythingElseNamingIt) {
  for (const char* query : {"6", "99999999999999999999", "", "-1", "blur", "Opac", "Opacify ",
                            "Transparency", "透明度", "1.0", "ｏｐａｃｉｆｙ"}) {
    const std::string said = Find(SomeFilters(), query);
    EXPECT_NE(said.rfind("found ", 0), 0u) << "'" << query << "' " << said;
    EXPECT_NE(said.find(query), std::string::npos) << said;
  }
  EXPECT_EQ(Find(SomeFilters(), "6"), "there is no filter 6: the module offers 6, 0 to 5");
  EXPECT_EQ(Find({}, "0").rfind("found ", 0), std::string::npos);
  EXPECT_EQ(EnglishPart("Opacify|不透明化"), "Opacify");
  EXPECT_EQ(JapanesePart("Opacify|不透明化"), "不透明化");
  EXPECT_EQ(EnglishPart("Plain"), "Plain");
  EXPECT_EQ(JapanesePart("Plain"), "");
}

}  // namespace
}  // namespace veilmere::qfhost
