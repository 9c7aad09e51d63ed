// The host kit's own parts: the colour query it exports from a host's executable, and label
// conversion. (Loading a module is tested wherever a test loads one.)

#include <gtest/gtest.h>

#include <string>

#include "hostkit/colour_answer.h"
#include "hostkit/text.h"
#include "plugin/colour_query.h"

namespace veilmere::hostkit {
namespace {

TEST(ColourAnswer, AnswersIds1And3InPixelOrderLogsEveryCallAndNests) {
  // The query as the module finds it: exported by name from the main executable.
  const auto query = &HostColourQuery;
  Pixel answer{9, 9, 9, 9};
  EXPECT_EQ(query(1, &answer), 0);  // no answer in force: a host without colours
  EXPECT_EQ(answer, (Pixel{9, 9, 9, 9}));

  ColourAnswer outer({Pixel{1, 2, 3, 4}, Pixel{5, 6, 7, 8}}, 42);
  EXPECT_EQ(query(1, &answer), 42);
  EXPECT_EQ(answer, (Pixel{1, 2, 3, 4}));
  EXPECT_EQ(query(3, &answer), 42);
  EXPECT_EQ(answer, (Pixel{5, 6, 7, 8}));
  for (const std::int32_t id : {0, 2, 4, -1}) {
    Pixel untouched{9, 9, 9, 9};
    EXPECT_EQ(query(id, &untouched), 0) << id;
    EXPECT_EQ(untouched, (Pixel{9, 9, 9, 9})) << id;
  }
  EXPECT_EQ(query(1, nullptr), 0);
  ASSERT_EQ(outer.queries().size(), 7u);
  EXPECT_EQ(outer.queries()[1].id, 3);
  EXPECT_EQ(outer.queries()[1].answer, &answer);

  {
    const ColourAnswer inner({Pixel{11, 12, 13, 14}, Pixel{}});
    EXPECT_EQ(query(1, &answer), 1);
    EXPECT_EQ(answer, (Pixel{11, 12, 13, 14}));
    EXPECT_EQ(inner.queries().size(), 1u);
  }
  EXPECT_EQ(query(1, &answer), 42);
  EXPECT_EQ(answer, (Pixel{1, 2, 3, 4}));
  EXPECT_EQ(outer.queries().size(), 8u);
}

TEST(Cp932ToUtf8, ConvertsLabelsAndSurvivesBytesThatAreNotCodePage932) {
  EXPECT_EQ(Cp932ToUtf8("Opacify"), "Opacify");
  EXPECT_EQ(Cp932ToUtf8("\x95\x73\x93\xA7\x96\xBE\x89\xBB"), "不透明化");
  EXPECT_EQ(Cp932ToUtf8("\xB1"), "ｱ");  // a half-width katakana, one byte
  EXPECT_EQ(Cp932ToUtf8(""), "");
  // A lead byte with no trail byte, and a byte that begins nothing: still text, the ASCII
  // around them kept.
  for (const std::string bad : {"ab\x93", "ab\xA0" "cd", "\xFF\xFF"}) {
    const std::string text = Cp932ToUtf8(bad);
    EXPECT_FALSE(text.empty());
    if (bad[0] == 'a') {
      EXPECT_EQ(text.substr(0, 2), "ab");
    }
  }
}

}  // namespace
}  // namespace veilmere::hostkit
