// The two luminance rules on every colour there is: one image holds all 2^24 colours, and
// each rule runs over it through the built module's QFF_Execute, that is, through the very
// row loop the module ships, with separate images and in place, under several alpha
// patterns; then every row loop of the rule this build has (as compiled for the module) runs
// over it, rows cut so that each loop's ends are met too. Checked against the plain integer
// formula.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "filters/luma.h"
#include "hostkit/loaded_module.h"
#include "tests/support/expected_rules.h"
#include "tests/support/test_image.h"

namespace veilmere {
namespace {

// The host's indexes of the two luminance filters.
constexpr std::int32_t kBrightnessIndex = 3;
constexpr std::int32_t kDarknessIndex = 4;

// 4096 x 4096 colours, placed from column 1 of rows 4097 pixels long, so that row starts
// fall on every alignment the vectorised loop may meet.
constexpr std::int32_t kSide = 4096;
constexpr std::int32_t kRowLength = kSide + 1;
constexpr FilterRect kAllColours{1, 0, 1 + kSide, kSide};

Pixel ColourAt(std::int32_t x, std::int32_t y) {
  const auto index = static_cast<std::uint32_t>(y) * kSide + static_cast<std::uint32_t>(x - 1);
  return Pixel{std::uint8_t(index), std::uint8_t(index >> 8), std::uint8_t(index >> 16), 0};
}

// Alpha of the colour at (x, y) under each pattern: none, full, and one that changes from
// pixel to pixel, so that no alpha bit can leak into Y unnoticed.
using AlphaPattern = std::uint8_t (*)(std::int32_t x, std::int32_t y);
const AlphaPattern kAlphaPatterns[] = {
    [](std::int32_t, std::int32_t) -> std::uint8_t { return 0; },
    [](std::int32_t, std::int32_t) -> std::uint8_t { return 255; },
    [](std::int32_t x, std::int32_t y) { return std::uint8_t(x * 7 + y * 13); },
};

void FillAllColours(test::TestImage& image, AlphaPattern alpha) {
  for (std::int32_t y = 0; y < kSide; ++y) {
    image.at(0, y) = Pixel{1, 2, 3, 4};  // outside the rectangle
    for (std::int32_t x = 1; x <= kSide; ++x) {
      Pixel p = ColourAt(x, y);
      p.a = alpha(x, y);
      image.at(x, y) = p;
    }
  }
}

// The first pixel of `result` that differs from `rule` applied to `source`, as text; empty
// when every pixel in the rectangle matches and the column outside it is untouched.
std::string FirstMismatch(const test::TestImage& source, const test::TestImage& result,
                          const test::ExpectedRule& rule, Pixel outside) {
  const test::HostColours noColours;
  for (std::int32_t y = 0; y < kSide; ++y) {
    if (!(result.at(0, y) == outside)) return "column 0 touched in row " + std::to_string(y);
    for (std::int32_t x = 1; x <= kSide; ++x) {
      const Pixel want = rule(source.at(x, y), noColours);
      if (!(result.at(x, y) == want)) {
        const Pixel s = source.at(x, y);
        return "source (b" + std::to_string(s.b) + " g" + std::to_string(s.g) + " r" +
               std::to_string(s.r) + " a" + std::to_string(s.a) + ") gave alpha " +
               std::to_string(result.at(x, y).a) + ", want " + std::to_string(want.a);
      }
    }
  }
  return "";
}

TEST(LumaRulesOnEveryColour, MatchTheIntegerFormulaWithSeparateImagesAndInPlace) {
  const auto module = hostkit::LoadedModule::Load(VEILMERE_MODULE_PATH);
  ASSERT_NE(module, nullptr) << hostkit::LoadedModule::LastError();
  test::TestImage source(kSide + 1, kSide, kRowLength);
  test::TestImage result(kSide + 1, kSide, kRowLength);

  for (const AlphaPattern alpha : kAlphaPatterns) {
    FillAllColours(source, alpha);
    for (const std::int32_t index : {kBrightnessIndex, kDarknessIndex}) {
      const std::string name = test::NameLabel(*module, index);
      const auto& rule = test::RuleFor(name);
      const auto run = [&](Pixel* from, Pixel* to) {
        module->Execute()(index, 0, from, to, 0, &kAllColours, 0, kRowLength, 0, nullptr, nullptr);
      };

      const Pixel outside{9, 9, 9, 9};
      for (std::int32_t y = 0; y < kSide; ++y) result.at(0, y) = outside;
      run(source.data(), result.data());
      ASSERT_EQ(FirstMismatch(source, result, rule, outside), "") << name << ", two images";

      result.pixels = source.pixels;
      run(result.data(), result.data());
      ASSERT_EQ(FirstMismatch(source, result, rule, source.at(0, 0)), "") << name << ", in place";
    }
  }
}

#if defined(__i386__) || defined(__x86_64__)
TEST(LumaRowVariants, AnX86BuildHasTheAvx2AndTheSse2Loop) {
  // The Windows module may count on SSE2, as every x86-64 does; AVX2 is chosen at run time.
  std::vector<std::string> names;
  for (const LumaRowVariant& variant : LumaRowVariants()) names.push_back(variant.name);
  EXPECT_EQ(names, (std::vector<std::string>{"AVX2", "SSE2", "plain"}));
}
#endif

// One case per row loop the build has; a loop this processor cannot run is reported as
// skipped (CTest runs the AVX2 case on its own, so that such a skip shows there).
class LumaRowsOnEveryColour : public testing::TestWithParam<LumaRowVariant> {};

TEST_P(LumaRowsOnEveryColour, MatchTheIntegerFormula) {
  const LumaRowVariant& variant = GetParam();
  if (!variant.runsHere) GTEST_SKIP() << "this processor cannot run the " << variant.name << " loop";

  test::TestImage source(kSide + 1, kSide, kRowLength);
  test::TestImage result(kSide + 1, kSide, kRowLength);
  FillAllColours(source, kAlphaPatterns[2]);
  const std::pair<LumaAlpha, const char*> modes[] = {
      {LumaAlpha::kInverseLuma, "Transparentize at Brightness"},
      {LumaAlpha::kLuma, "Transparentize at Darkness"}};

  for (const auto& [alpha, label] : modes) {
    const Pixel outside{9, 9, 9, 9};
    for (std::int32_t y = 0; y < kSide; ++y) result.at(0, y) = outside;
    // Each row in two calls, the first of y % 16 pixels: every length of a loop's last,
    // partial steps comes up, on rows that start at every alignment.
    for (std::int32_t y = 0; y < kSide; ++y) {
      const std::int32_t cut = y % 16;
      variant.row(&source.at(1, y), &result.at(1, y), cut, alpha);
      variant.row(&source.at(1 + cut, y), &result.at(1 + cut, y), kSide - cut, alpha);
    }
    ASSERT_EQ(FirstMismatch(source, result, test::RuleFor(label), outside), "") << label;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryVariant, LumaRowsOnEveryColour,
                         testing::ValuesIn(LumaRowVariants().begin(), LumaRowVariants().end()),
                         [](const testing::TestParamInfo<LumaRowVariant>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace veilmere
