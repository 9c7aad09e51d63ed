// The command line: commands, operands and options, colours and rectangles, and every way
// they can be wrong.

#include "tools/qfhost/options.h"

#include <gtest/gtest.h>

#include "tests/support/test_image.h"
#include "tools/qfhost/errors.h"

namespace veilmere::qfhost {
namespace {

using test::Rgba;

TEST(ParseArguments, ReadsEachCommandsOperandsWithDefaultOptions) {
  const Options list = ParseArguments({"list", "m.qfi"});
  EXPECT_EQ(list.command, Command::kList);
  EXPECT_EQ(list.module, "m.qfi");

  const Options apply = ParseArguments({"apply", "m.qfi", "Opacify", "in.png", "out.png"});
  EXPECT_EQ(apply.command, Command::kApply);
  EXPECT_EQ(apply.module, "m.qfi");
  EXPECT_EQ(apply.filter, "Opacify");
  EXPECT_EQ(apply.input, "in.png");
  EXPECT_EQ(apply.output, "out.png");
  EXPECT_FALSE(apply.rect.has_value());
  EXPECT_EQ(apply.drawing, Rgba(0, 0, 0, 255));
  EXPECT_EQ(apply.background, Rgba(255, 255, 255, 255));
  EXPECT_FALSE(apply.quiet);

  const Options gallery = ParseArguments({"gallery", "m.qfi", "in.png", "out.png"});
  EXPECT_EQ(gallery.command, Command::kGallery);
  EXPECT_EQ(gallery.input, "in.png");
  EXPECT_EQ(gallery.output, "out.png");
  EXPECT_EQ(gallery.scale, 1);
}

TEST(ParseArguments, TakesOptionsAnywhereInEitherFormAndOperandsAfterDoubleDash) {
  const Options options = ParseArguments({"apply", "--fg", "#102030", "m.qfi", "-q", "3",
                                          "--rect=1,2,3,4", "in.png", "--bg=4,5,6,7", "out.png"});
  EXPECT_EQ(options.drawing, Rgba(0x10, 0x20, 0x30, 255));
  EXPECT_EQ(options.background, Rgba(4, 5, 6, 7));
  ASSERT_TRUE(options.rect.has_value());
  EXPECT_EQ(options.rect->left, 1);
  EXPECT_EQ(options.rect->bottom, 4);
  EXPECT_TRUE(options.quiet);
  EXPECT_EQ(options.filter, "3");
  EXPECT_EQ(options.output, "out.png");

  // A value may start with '-'; after "--" even "-q" is an operand; "-" alone is one too.
  EXPECT_EQ(ParseArguments({"apply", "--rect", "-1,0,5,5", "m", "f", "i", "o"}).rect->left, -1);
  const Options dashed = ParseArguments({"apply", "m", "--", "-q", "-", "--out.png"});
  EXPECT_EQ(dashed.filter, "-q");
  EXPECT_EQ(dashed.input, "-");
  EXPECT_EQ(dashed.output, "--out.png");
  EXPECT_FALSE(dashed.quiet);

  EXPECT_EQ(ParseArguments({"gallery", "m", "i", "o", "--scale", "16"}).scale, 16);
}

TEST(ParseArguments, HelpAndVersionNeedNoOperands) {
  EXPECT_TRUE(ParseArguments({"--help"}).help);
  EXPECT_TRUE(ParseArguments({"-h"}).help);
  EXPECT_TRUE(ParseArguments({"--version"}).version);
  const Options combined = ParseArguments({"apply", "m", "0", "i", "o", "-qh"});  // -q -h
  EXPECT_TRUE(combined.quiet && combined.help);
  const Options applyHelp = ParseArguments({"apply", "--help"});
  EXPECT_TRUE(applyHelp.help);
  EXPECT_EQ(applyHelp.command, Command::kApply);
}

TEST(ParseArguments, RefusesWhatItCannotMakeSenseOf) {
  const std::vector<std::vector<std::string>> bad = {
      {},                                                // no command
      {"m.qfi"},                                         // not a command
      {"blur", "m", "i", "o"},                           // unknown command
      {"list"},                                          // missing module
      {"list", "m", "extra"},                            // one operand too many
      {"apply", "m", "0", "in.png"},                     // missing output
      {"gallery", "m", "in.png"},                        // missing output
      {"apply", "m", "0", "i", "o", "--bogus"},          // unknown long option
      {"apply", "m", "0", "i", "o", "-x"},               // unknown short option
      {"apply", "m", "0", "i", "o", "--rect"},           // value missing at the end
      {"apply", "m", "0", "i", "o", "--quiet=yes"},      // a flag with a value
      {"list", "m", "--rect", "0,0,1,1"},                // an option list does not take
      {"gallery", "m", "i", "o", "--rect", "0,0,1,1"},   // nor gallery
      {"apply", "m", "0", "i", "o", "--scale", "2"},     // scale is gallery's
      {"--fg", "#000000"},                               // an option without a command
      {"gallery", "m", "i", "o", "--scale", "0"},        // scale out of range
      {"gallery", "m", "i", "o", "--scale", "17"},
      {"gallery", "m", "i", "o", "--scale", "2x"},
      {"apply", "m", "0", "i", "o", "--fg", "red"},      // malformed colour
      {"apply", "m", "0", "i", "o", "--rect", "1,2,3"},  // malformed rectangle
  };
  for (const auto& args : bad) {
    std::string line;
    for (const auto& arg : args) line += arg + " ";
    EXPECT_THROW(ParseArguments(args), UsageError) << line;
  }
}

TEST(ParseColour, ReadsHexadecimalAndDecimalForms) {
  EXPECT_EQ(ParseColour("#FF8000"), Rgba(255, 128, 0, 255));
  EXPECT_EQ(ParseColour("#ff800040"), Rgba(255, 128, 0, 64));
  EXPECT_EQ(ParseColour("0a0B0c"), Rgba(10, 11, 12, 255));
  EXPECT_EQ(ParseColour("#00000000"), Rgba(0, 0, 0, 0));
  EXPECT_EQ(ParseColour("255,128,0"), Rgba(255, 128, 0, 255));
  EXPECT_EQ(ParseColour("1,2,3,4"), Rgba(1, 2, 3, 4));
  EXPECT_EQ(ParseColour("0,0,0,0"), Rgba(0, 0, 0, 0));
  EXPECT_EQ(ParseColour("007,08,9"), Rgba(7, 8, 9, 255));

  // Every byte value survives the hexadecimal form, in each channel.
  for (int v = 0; v < 256; ++v) {
    char text[16];
    std::snprintf(text, sizeof text, "#%02x%02X%02x%02X", v, 255 - v, v ^ 0x55, v);
    EXPECT_EQ(ParseColour(text), Rgba(v, 255 - v, v ^ 0x55, v)) << text;
  }
}

TEST(ParseColour, RefusesMalformedColoursNamingThem) {
  for (const char* text : {"", "#", "#12345", "#1234567", "#123456789", "#12345g", "black",
                           "1,2", "1,2,3,4,5", "256,0,0", "-1,0,0", "1,,3", "1, 2, 3", "+1,2,3",
                           "1,2,3,", "0x10,0,0", "1000,0,0", "##123456"}) {
    try {
      ParseColour(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const UsageError& error) {
      EXPECT_NE(std::string(error.what()).find("'" + std::string(text) + "'"), std::string::npos)
          << error.what();
    }
  }
}

TEST(ParseRect, ReadsFourIntegersAndRefusesEmptyOrMalformedOnes) {
  const RectOption rect = ParseRect("-5,2,2147483647,9");
  EXPECT_EQ(rect.left, -5);
  EXPECT_EQ(rect.top, 2);
  EXPECT_EQ(rect.right, 2147483647);
  EXPECT_EQ(rect.bottom, 9);

  for (const char* text : {"", "1,2,3", "1,2,3,4,5", "a,2,3,4", "1,2,3,4x", " 1,2,3,4",
                           "1,2,3,2147483648", "-2147483649,0,1,1", "1.5,2,3,4",
                           "3,0,3,5",    // no columns
                           "0,5,9,5",    // no rows
                           "9,0,3,5"}) {  // inverted
    EXPECT_THROW(ParseRect(text), UsageError) << text;
  }
}

TEST(RectInsideImage, AcceptsExactlyTheRectanglesInsideTheImage) {
  const FilterRect whole = RectInsideImage(std::nullopt, 64, 48);
  EXPECT_EQ(whole.left, 0);
  EXPECT_EQ(whole.top, 0);
  EXPECT_EQ(whole.right, 64);
  EXPECT_EQ(whole.bottom, 48);

  const FilterRect all = RectInsideImage(RectOption{0, 0, 64, 48}, 64, 48);
  EXPECT_EQ(all.right, 64);
  const FilterRect corner = RectInsideImage(RectOption{63, 47, 64, 48}, 64, 48);
  EXPECT_EQ(corner.left, 63);
  EXPECT_EQ(corner.top, 47);

  for (const RectOption& outside : {RectOption{-1, 0, 10, 10}, RectOption{0, -1, 10, 10},
                                    RectOption{0, 0, 65, 48}, RectOption{0, 0, 64, 49},
                                    RectOption{64, 0, 65, 1}, RectOption{0, 48, 1, 49},
                                    RectOption{-2147483648LL, 0, 2147483647LL, 1}}) {
    try {
      RectInsideImage(outside, 64, 48);
      ADD_FAILURE() << "accepted " << outside.left << "," << outside.top;
    } catch (const RunError& error) {
      EXPECT_NE(std::string(error.what()).find("outside the 64x48 image"), std::string::npos);
    }
  }
}

TEST(HelpText, NamesEveryCommandOptionAndColourForm) {
  const std::string help = HelpText(Command::kNone);
  for (const char* word : {"list MODULE", "apply MODULE FILTER IN.png OUT.png", "gallery MODULE",
                           "--rect L,T,R,B", "--fg COLOUR", "--bg COLOUR", "--scale N", "--quiet",
                           "--help", "--version", "#RRGGBB", "#RRGGBBAA", "R,G,B,A",
                           "Exit status"}) {
    EXPECT_NE(help.find(word), std::string::npos) << word;
  }
  EXPECT_NE(HelpText(Command::kApply).find("--rect"), std::string::npos);
  EXPECT_NE(HelpText(Command::kGallery).find("--scale"), std::string::npos);
  EXPECT_EQ(HelpText(Command::kList).find("--rect"), std::string::npos);
  for (const char* applyOnly : {"--rect", "--output-dir", "--in-place", "--strip"}) {
    EXPECT_EQ(HelpText(Command::kGallery).find(applyOnly), std::string::npos) << applyOnly;
  }
  EXPECT_EQ(HelpText(Command::kApply).find("--scale"), std::string::npos);
}

}  // namespace
}  // namespace veilmere::qfhost
