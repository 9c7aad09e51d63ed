// The command line: commands, operands and options, colours and rectangles, the help, and
// every way a command line can be wrong.

#include "tools/qfhost/options.h"

#include <gtest/gtest.h>

#include "tests/support/test_image.h"
#include "tests/support/version.h"
#include "tests/tools/qfhost/support/run_qfhost.h"
#include "tools/qfhost/errors.h"

namespace veilmere::qfhost {
namespace {

using test::Rgba;

Options Parse(const std::vector<std::string>& args) { return ParseArguments(args, Commands()); }

// A rectangle's left, top, right and bottom.
std::vector<std::int64_t> Sides(const auto& r) { return {r.left, r.top, r.right, r.bottom}; }

TEST(ParseArguments, ReadsEachCommandsOperandsWithDefaultOptions) {
  const Options list = Parse({"list", "m.qfi"});
  EXPECT_EQ(list.command->name, "list");
  EXPECT_EQ(list.module, "m.qfi");

  const Options apply = Parse({"apply", "m.qfi", "Opacify", "in.png", "out.png"});
  EXPECT_EQ(apply.command->name, "apply");
  EXPECT_EQ(apply.module, "m.qfi");
  EXPECT_EQ(apply.filter, "Opacify");
  EXPECT_EQ(apply.input, "in.png");
  EXPECT_EQ(apply.output, "out.png");
  EXPECT_TRUE(apply.inputs.empty());
  EXPECT_FALSE(apply.rect.has_value());
  EXPECT_EQ(apply.drawing, Rgba(0, 0, 0, 255));
  EXPECT_EQ(apply.background, Rgba(255, 255, 255, 255));
  EXPECT_FALSE(apply.quiet);

  const Options batch = Parse({"apply", "m", "9", "a.png", "b.png", "c.png", "--in-place"});
  EXPECT_TRUE(batch.inPlace &&
              batch.inputs == (std::vector<std::string>{"a.png", "b.png", "c.png"}));
  EXPECT_EQ(Parse({"apply", "m", "9", "a.png", "--output-dir", "d", "--jobs", "3"}).jobs, 3);

  const Options gallery = Parse({"gallery", "m.qfi", "in.png", "out.png"});
  EXPECT_EQ(gallery.command->name, "gallery");
  EXPECT_EQ(gallery.input, "in.png");
  EXPECT_EQ(gallery.output, "out.png");
  EXPECT_EQ(gallery.scale, 1);
}

TEST(ParseArguments, TakesOptionsAnywhereInEitherFormAndOperandsAfterDoubleDash) {
  const Options options = Parse({"apply", "--fg", "#102030", "m.qfi", "-q", "3",
                                 "--rect=1,2,3,4", "in.png", "--bg=4,5,6,7", "out.png"});
  EXPECT_EQ(options.drawing, Rgba(0x10, 0x20, 0x30, 255));
  EXPECT_EQ(options.background, Rgba(4, 5, 6, 7));
  ASSERT_TRUE(options.rect.has_value());
  EXPECT_EQ(Sides(*options.rect), (std::vector<std::int64_t>{1, 2, 3, 4}));
  EXPECT_TRUE(options.quiet);
  EXPECT_EQ(options.filter, "3");
  EXPECT_EQ(options.output, "out.png");

  // A value may start with '-'; after "--" even "-q" is an operand, wherever "--" stands;
  // "-" alone is one too.
  EXPECT_EQ(Parse({"apply", "--rect", "-1,0,5,5", "m", "f", "i", "o"}).rect->left, -1);
  const Options dashed = Parse({"apply", "m", "--", "-q", "-", "--out.png"});
  EXPECT_TRUE(dashed.filter == "-q" && dashed.input == "-" && dashed.output == "--out.png" &&
              !dashed.quiet);
  const Options late = Parse({"apply", "m", "0", "--in-place", "a.png", "--", "-b.png", "--strip"});
  EXPECT_EQ(late.inputs, (std::vector<std::string>{"a.png", "-b.png", "--strip"}));

  EXPECT_EQ(Parse({"gallery", "m", "i", "o", "--scale", "16"}).scale, 16);
  EXPECT_EQ(Parse({"gallery", "m", "i", "o", "--scale", "010"}).scale, 10);  // decimal, not octal
}

// --help and --version print on stdout, status 0, whatever else the line holds; each
// command's help (asked for before or after it) shows its own options and no other command's.
TEST(ParseArguments, HelpAndVersionNeedNoOperands) {
  const std::string version = "qfhost " + test::ProjectVersion() + "\n";
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> shows;
    std::vector<std::string> hides;
  } pages[] = {
      {{"--version"}, {version}, {"Usage"}},
      {{"gallery", "m", "--version", "--rect"}, {version}, {"Usage"}},
      {{"--help"}, {"Usage: qfhost COMMAND", "list MODULE", "apply MODULE FILTER IN.png OUT.png",
                    "gallery MODULE IN.png OUT.png", "--quiet", "--version", "Exit status"},
       {"--rect", "--scale"}},
      {{"-h", "list"}, {"Usage: qfhost list MODULE"}, {"--rect", "--fg", "--scale", "Limits"}},
      {{"apply", "m", "0", "i", "o", "-qh"},
       {"Usage: qfhost apply MODULE FILTER IN.png OUT.png", "--rect L,T,R,B", "--fg COLOUR",
        "#RRGGBBAA", "R,G,B,A", "--output-dir DIR", "--in-place", "--jobs N", "--strip",
        "Exit status"},
       {"--scale"}},
      {{"gallery", "--help"},
       {"Usage: qfhost gallery MODULE IN.png OUT.png", "--bg COLOUR", "--scale N"},
       {"--rect", "--output-dir", "--in-place", "--jobs", "--strip"}},
  };
  for (const auto& page : pages) {
    const Result printed = RunQfhost(page.args);
    const std::string& out = printed.out;
    EXPECT_TRUE(printed.status == 0 && printed.err.empty()) << page.args[0];
    for (const auto& text : page.shows) EXPECT_NE(out.find(text), out.npos) << page.args[0] << text;
    for (const auto& text : page.hides) EXPECT_EQ(out.find(text), out.npos) << page.args[0] << text;
  }
}

// Every message a malformed command line gets: one line on stderr, nothing on stdout,
// status 2. The first mistake is the one named.
TEST(ParseArguments, EveryMalformedCommandLineGetsOneLineAndStatus2) {
  const struct {
    std::vector<std::string> args;
    std::string says;
  } cases[] = {
      {{}, "no command given"},
      {{"-q"}, "no command given"},
      {{"--", "list", "m"}, "no command given"},
      {{"m.qfi"}, "unknown command 'm.qfi'"},
      {{"blur", "m", "i", "o"}, "unknown command 'blur'"},
      {{"list"}, "list needs MODULE"},
      {{"apply"}, "apply needs MODULE FILTER IN.png OUT.png"},
      {{"apply", "m", "0", "in.png"}, "apply needs MODULE FILTER IN.png OUT.png"},
      {{"gallery", "m", "in.png"}, "gallery needs MODULE IN.png OUT.png"},
      {{"list", "m", "extra"}, "unexpected argument 'extra'"},
      {{"list", "m", "gallery"}, "unexpected argument 'gallery'"},
      {{"list", "m", "--", "--quiet"}, "unexpected argument '--quiet'"},
      {{"apply", "m", "9", "a", "b", "c"},
       "unexpected argument 'c'; for several inputs add --output-dir DIR or --in-place"},
      {{"apply", "m", "0", "i", "o", "--bogus"}, "unknown option '--bogus'"},
      {{"--bogus", "list", "m"}, "unknown option '--bogus'"},
      {{"apply", "m", "0", "i", "o", "-x"}, "unknown option '-x'"},
      {{"list", "m", "-qx"}, "unknown option '-x'"},
      {{"apply", "m", "0", "i", "o", "--rect"}, "option '--rect' needs a value"},
      {{"apply", "m", "0", "i", "o", "--quiet=yes"}, "option '--quiet' takes no value"},
      {{"apply", "m", "0", "a", "--in-place=no", "--output-dir=d"}, "option '--in-place' takes no value"},
      {{"apply", "m", "0", "i", "o", "--rect", "1,1,2,2", "--rect=1,1,3,3"},
       "option '--rect' is given more than once"},
      {{"list", "m", "--rect", "0,0,1,1"}, "option '--rect' belongs to apply, not to list"},
      {{"gallery", "m", "i", "o", "--rect", "0,0,1,1"}, "option '--rect' belongs to apply, not to gallery"},
      {{"apply", "m", "0", "i", "o", "--scale", "2"}, "option '--scale' belongs to gallery, not to apply"},
      {{"--fg", "#000000"}, "option '--fg' belongs to apply and gallery: give the command first"},
      {{"gallery", "m", "i", "o", "--scale", "0"}, "--scale: malformed scale '0': use a whole number from 1 to 16"},
      {{"gallery", "m", "i", "o", "--scale", "17"}, "--scale: malformed scale '17': use a whole number from 1 to 16"},
      {{"gallery", "m", "i", "o", "--scale", "2x"}, "--scale: malformed scale '2x': use a whole number from 1 to 16"},
      {{"apply", "m", "0", "i", "o", "--fg", "#12"},
       "--fg: malformed colour '#12': use #RRGGBB, #RRGGBBAA, R,G,B or R,G,B,A"},
      {{"gallery", "m", "i", "o", "--bg", "1,2,300"},
       "--bg: malformed colour '1,2,300': use #RRGGBB, #RRGGBBAA, R,G,B or R,G,B,A"},
      {{"apply", "m", "0", "i", "o", "--rect", "1,2,3"},
       "--rect: malformed rectangle '1,2,3': use L,T,R,B, four whole numbers"},
      {{"apply", "m", "0", "i", "o", "--rect", "5,0,5,9"},
       "--rect: rectangle 5,0,5,9 is empty: right and bottom are exclusive and must exceed left "
       "and top"},
      {{"apply", "m", "9", "a", "b", "--output-dir", ""},
       "--output-dir: an empty name is no folder ('.' is the current one)"},
      {{"apply", "m", "0", "a", "--in-place", "--output-dir", "x"}, "--output-dir excludes --in-place"},
      {{"apply", "m", "9", "a", "b", "--jobs", "2"},
       "--jobs is for several inputs, with --output-dir DIR or --in-place"},
      {{"apply", "m", "9", "a", "--in-place", "--jobs", "65"}, "--jobs: malformed job count '65': use a whole number from 1 to 64"},
      {{"apply", "m", "9", "a", "--in-place", "--jobs", "0x10"}, "--jobs: malformed job count '0x10': use a whole number from 1 to 64"},
  };
  for (const auto& c : cases) {
    const Result result = RunQfhost(c.args);
    EXPECT_EQ(result.status, kExitUsage) << c.says;
    EXPECT_EQ(result.err, "qfhost: " + c.says + " (" + kHelpHint + ")\n");
    EXPECT_EQ(result.out, "") << c.says;
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
  EXPECT_EQ(Sides(ParseRect("-5,2,2147483647,9")), (std::vector<std::int64_t>{-5, 2, 2147483647, 9}));

  for (const char* text : {"", "1,2,3", "1,2,3,4,5", "a,2,3,4", "1,2,3,4x", " 1,2,3,4",
                           "1,2,3,2147483648", "-2147483649,0,1,1", "1.5,2,3,4",
                           "3,0,3,5",    // no columns
                           "0,5,9,5",    // no rows
                           "9,0,3,5"}) {  // inverted
    EXPECT_THROW(ParseRect(text), UsageError) << text;
  }
}

TEST(RectInsideImage, AcceptsExactlyTheRectanglesInsideTheImage) {
  for (const RectOption& inside : {RectOption{0, 0, 64, 48}, RectOption{63, 47, 64, 48}}) {
    EXPECT_EQ(Sides(RectInsideImage(inside, 64, 48)), Sides(inside));
  }
  EXPECT_EQ(Sides(RectInsideImage(std::nullopt, 64, 48)), (std::vector<std::int64_t>{0, 0, 64, 48}));

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

}  // namespace
}  // namespace veilmere::qfhost
