// qfhost's commands run in-process as main runs them: what they print, the files they write,
// and the one-line error and exit status of every kind of bad input.

#include "tools/qfhost/commands.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/support/expected_rules.h"
#include "tests/support/labels.h"
#include "tests/support/rule_check.h"
#include "tests/support/test_image.h"
#include "tests/support/version.h"
#include "tests/tools/qfhost/support/png_files.h"
#include "tests/tools/qfhost/support/random_image.h"
#include "tests/tools/qfhost/support/run_qfhost.h"
#include "tests/tools/qfhost/support/scratch.h"
#include "tools/qfhost/gallery.h"
#include "tools/qfhost/image.h"
#include "tools/qfhost/platform.h"

namespace veilmere::qfhost {
namespace {

namespace fs = std::filesystem;

constexpr char kModule[] = VEILMERE_MODULE_PATH;
constexpr char kSample[] = QFHOST_TEST_DATA "/sample.png";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool IsOneErrorLine(const std::string& text) {
  return text.rfind("qfhost: ", 0) == 0 && text.size() > 9 && text.back() == '\n' &&
         text.find('\n') == text.size() - 1;
}

TEST(Commands, ListPrintsTheInformationLineThenIndexCategoryAndName) {
  const Result result = RunQfhost({"list", kModule});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  std::string expected = test::InfoLine() + "\n";
  const auto& labels = test::ExpectedFilterLabels();
  for (std::size_t i = 0; i < labels.size(); ++i) {
    expected += std::to_string(i) + "\tTransparency|透明度\t" + labels[i].english + "|" +
                labels[i].japanese + "\n";
  }
  EXPECT_EQ(result.out, expected);
}

TEST(Commands, ApplyRunsTheNamedFilterOverTheRectangleWithTheGivenColours) {
  const fs::path dir = Scratch("apply");
  const Image sample = ReadPng(kSample);
  const test::HostColours colours{Pixel{0x30, 0x20, 0x10, 0xFF}, Pixel{6, 5, 4, 7}};
  const auto& labels = test::ExpectedFilterLabels();
  for (std::size_t i = 0; i < labels.size(); ++i) {
    // By index, English name and Japanese name in turn.
    const std::string filter = i % 3 == 0 ? std::to_string(i) : i % 3 == 1 ? labels[i].english
                                                                            : labels[i].japanese;
    const std::string out = (dir / ("out" + std::to_string(i) + ".png")).string();
    const Result result = RunQfhost({"apply", kModule, filter, kSample, out, "--rect",
                                     "5,3,60,40", "--fg", "#102030", "--bg=4,5,6,7", "--quiet"},
                                    true);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out + result.err, "");

    const Image image = ReadPng(out);
    ASSERT_EQ(image.width, sample.width);
    ASSERT_EQ(image.height, sample.height);
    const auto& rule = test::RuleFor(labels[i].english);
    EXPECT_TRUE(test::RectHolds(
        image, image.width, image.height, FilterRect{5, 3, 60, 40},
        [&](auto x, auto y) { return rule(sample.at(x, y), colours); },
        [&](auto x, auto y) { return sample.at(x, y); }))
        << filter;
  }
}

// A kept chunk that breaks its rules is left out with one line; the image is written all the
// same, with the chunks that keep them. --strip leaves everything out, and says nothing.
TEST(Commands, ABrokenKeptChunkIsLeftOutWithAWarning) {
  const fs::path dir = Scratch("left-out");
  const std::string in = (dir / "in.png").string(), out = (dir / "out.png").string();
  WriteWholeFile(in, EncodePng(ReadPng(kSample), {{"tEXt", {'k', 0, 'v'}}, {"tEXt", {' ', 0}}}));
  const Result kept = RunQfhost({"apply", kModule, "0", in, out});
  EXPECT_EQ(kept.status, 0) << kept.err;
  EXPECT_EQ(Lines(kept.err), std::vector<std::string>{"qfhost: '" + in + "': its tEXt chunk is left "
                                                      "out of the output (its keyword begins or "
                                                      "ends with a space)"});
  const DecodedPng written = DecodePngFile(ReadWholeFile(out, kMaxFileBytes), "out");
  ASSERT_EQ(written.metadata.size(), 1u);
  EXPECT_EQ(written.metadata[0].data, (std::vector<std::uint8_t>{'k', 0, 'v'}));
  const Result stripped = RunQfhost({"apply", kModule, "0", in, out, "--strip"});
  EXPECT_EQ(stripped.status, 0);
  EXPECT_EQ(stripped.err, "");
}

// The golden images the end-to-end test holds qfhost's output to are themselves each filter's
// rule applied to the sample, at qfhost's default colours.
TEST(Commands, TheGoldenImagesAreEachRuleAppliedToTheSample) {
  const Image sample = ReadPng(kSample);
  const test::HostColours defaults{Pixel{0, 0, 0, 255}, Pixel{255, 255, 255, 255}};
  const auto& labels = test::ExpectedFilterLabels();
  for (std::size_t i = 0; i < labels.size(); ++i) {
    std::string slug;
    for (const char c : labels[i].english) {
      if (std::isalnum(static_cast<unsigned char>(c))) {
        slug += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      } else if (!slug.empty() && slug.back() != '-') {
        slug += '-';
      }
    }
    if (slug.back() == '-') slug.pop_back();
    const std::string prefix = (i < 10 ? "0" : "") + std::to_string(i) + "-";
    const Image golden = ReadPng(QFHOST_TEST_DATA "/golden/" + prefix + slug + ".png");
    ASSERT_EQ(golden.width, sample.width);
    ASSERT_EQ(golden.height, sample.height);
    const auto& rule = test::RuleFor(labels[i].english);
    for (std::size_t p = 0; p < sample.pixels.size(); ++p) {
      ASSERT_EQ(golden.pixels[p], rule(sample.pixels[p], defaults)) << slug << " pixel " << p;
    }
  }
}

TEST(Commands, GalleryShowsTheInputThenEachFilterInListOrder) {
  const fs::path dir = Scratch("gallery");
  const std::string out = (dir / "gallery.png").string();
  const Result result = RunQfhost({"gallery", kModule, kSample, out, "--scale", "2"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out + result.err, "");

  const Image sample = ReadPng(kSample);
  const auto& labels = test::ExpectedFilterLabels();
  std::int32_t labelWidth = LabelWidth("input");
  for (std::size_t i = 0; i < labels.size(); ++i) {
    labelWidth = std::max(labelWidth, LabelWidth(std::to_string(i) + " " + labels[i].english));
  }
  const GalleryLayout layout =
      PlanGallery(static_cast<std::int32_t>(labels.size()) + 1, 64, 48, 2, labelWidth);
  const Image gallery = ReadPng(out);
  ASSERT_EQ(gallery.width, layout.width);
  ASSERT_EQ(gallery.height, layout.height);
  // qfhost's defaults: opaque black drawing colour, opaque white background.
  const test::HostColours defaults{Pixel{0, 0, 0, 255}, Pixel{255, 255, 255, 255}};
  for (std::int32_t cell = 0; cell <= static_cast<std::int32_t>(labels.size()); ++cell) {
    const Point origin = layout.ImageOrigin(cell);
    for (std::int32_t y = 0; y < 96; y += 5) {
      for (std::int32_t x = 0; x < 128; x += 3) {
        Pixel source = sample.at(x / 2, y / 2);
        if (cell > 0) source = test::RuleFor(labels[cell - 1].english)(source, defaults);
        ASSERT_EQ(gallery.at(origin.x + x, origin.y + y), Over(source, CheckerColour(x, y)))
            << "cell " << cell << " at " << x << "," << y;
      }
    }
  }
}

TEST(Commands, TheProgressBarGoesToATerminalOnlyAndNotWithQuiet) {
  const fs::path dir = Scratch("progress");
  const std::string out = (dir / "out.png").string();
  const Result shown = RunQfhost({"apply", kModule, "Opacify", kSample, out}, true);
  EXPECT_EQ(shown.status, 0);
  EXPECT_NE(shown.err.find("\rOpacify ["), std::string::npos);
  EXPECT_NE(shown.err.find("] 100%"), std::string::npos);
  EXPECT_EQ(shown.err.back(), '\r');  // rubbed out at the end
  EXPECT_EQ(RunQfhost({"apply", kModule, "Opacify", kSample, out, "-q"}, true).err, "");
  EXPECT_EQ(RunQfhost({"apply", kModule, "Opacify", kSample, out}, false).err, "");
}

TEST(Commands, EveryBadInputIsOneLineStatus1AndNoFileWritten) {
  const fs::path dir = Scratch("bad");
  std::ofstream(dir / "text.png") << "not a picture";
  // 2^26 x 1 16-bit RGBA, within the pixel limit but not the memory bound, and with no pixel
  // data: refused before decoding, it is not called damaged.
  std::vector<std::uint8_t> wide = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                                    'I', 'H', 'D', 'R', 4, 0, 0, 0, 0, 0, 0, 1, 16, 6, 0, 0, 0};
  const uLong crc = crc32(0, wide.data() + 12, 17);
  for (int shift : {24, 16, 8, 0}) wide.push_back(std::uint8_t(crc >> shift));
  WriteWholeFile((dir / "wide.png").string(), wide);
  std::ofstream(dir / "existing.png") << "keep me";
  const std::string out = (dir / "out.png").string();
  const std::string existing = (dir / "existing.png").string();
  const std::string missing = (dir / "missing.png").string();
  const std::string pastLast = std::to_string(kFilterCount);
  const struct {
    std::vector<std::string> args;
    std::string says;
  } cases[] = {
      {{"apply", kModule, "0", missing, out}, "cannot read '" + missing + "'"},
      {{"apply", kModule, "0", dir.string(), out}, "cannot read '" + dir.string() + "'"},
      {{"apply", kModule, "0", (dir / "text.png").string(), out}, "is not a PNG file"},
      {{"apply", kModule, "0", (dir / "wide.png").string(), out}, "MiB of memory to process"},
      {{"apply", missing, "0", kSample, out}, "cannot load module '" + missing + "'"},
      {{"apply", kSample, "0", kSample, out}, "cannot load module"},
      {{"apply", QFHOST_MODULE_WITHOUT_SETUP_PATH, "0", kSample, out}, "lacks the export QFF_Setup"},
      {{"apply", kModule, "Sharpen", kSample, out}, "unknown filter 'Sharpen'"},
      {{"apply", kModule, pastLast, kSample, out}, "there is no filter " + pastLast},
      {{"apply", kModule, "0", kSample, out, "--rect", "0,0,65,48"}, "lies outside the 64x48 image"},
      {{"apply", kModule, "0", kSample, (dir / "no-dir" / "out.png").string()}, "cannot write"},
      {{"apply", kModule, "Sharpen", kSample, existing}, "unknown filter"},
      {{"gallery", kModule, missing, out}, "cannot read"},
      {{"gallery", QFHOST_MODULE_WITHOUT_SETUP_PATH, kSample, out}, "lacks the export"},
      {{"list", missing}, "cannot load module"},
  };
  for (const auto& c : cases) {
    const Result result = RunQfhost(c.args);
    EXPECT_EQ(result.status, 1) << c.says;
    EXPECT_TRUE(IsOneErrorLine(result.err)) << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "") << c.says;
  }
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir)) left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"existing.png", "text.png", "wide.png"}));
  std::ifstream kept(existing);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");
}

TEST(Commands, DashWritesThePngToStandardOutputButNeverToATerminal) {
  const Result piped = RunQfhost({"apply", kModule, "8", kSample, "-"});
  ASSERT_EQ(piped.status, 0) << piped.err;
  const Image image = DecodePng(std::vector<std::uint8_t>(piped.out.begin(), piped.out.end()), "-");
  EXPECT_EQ(image.width, 64);
  const Result terminal = RunQfhost({"apply", kModule, "8", kSample, "-"}, false, true);
  EXPECT_EQ(terminal.status, 1);
  EXPECT_TRUE(IsOneErrorLine(terminal.err)) << terminal.err;
  EXPECT_EQ(terminal.out, "");
}

TEST(Commands, AFailedWriteToStandardOutputIsAnError) {
  struct Full : std::streambuf {
    int_type overflow(int_type) override { return traits_type::eof(); }
  } full;
  std::ostream out(&full);
  std::ostringstream err;
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"list", kModule}, {"--help"}, {"apply", kModule, "0", kSample, "-"}}) {
    out.clear();
    err.str("");
    EXPECT_EQ(qfhost::Run(args, Console{out, err, false}), 1) << args[0];
    EXPECT_TRUE(IsOneErrorLine(err.str())) << err.str();
    EXPECT_NE(err.str().find("cannot write to standard output: "), std::string::npos) << err.str();
  }
}

// The output's folder and the input's size are checked before the input is decoded: a
// damaged input is not what a missing folder or an oversized header is reported as.
TEST(Commands, OutputFolderAndSizeAreCheckedBeforeDecoding) {
  const fs::path dir = Scratch("early");
  std::ifstream sample(kSample, std::ios::binary);
  std::string damaged(std::istreambuf_iterator<char>(sample), {});
  damaged[damaged.size() - 20] ^= 1;  // in the last IDAT
  std::ofstream(dir / "damaged.png", std::ios::binary) << damaged;
  const Result folder = RunQfhost({"apply", kModule, "0", (dir / "damaged.png").string(),
                                   (dir / "none" / "out.png").string()});
  EXPECT_EQ(folder.status, 1);
  EXPECT_NE(folder.err.find("does not exist"), std::string::npos) << folder.err;
  const Result batch = RunQfhost({"apply", kModule, "0", kSample, "--output-dir", (dir / "none").string()});
  EXPECT_EQ(batch.status, 1);
  EXPECT_NE(batch.err.find("output folder"), std::string::npos) << batch.err;
}

TEST(Commands, ABatchGoesOnPastAFailedFileAndClosesWithTheCounts) {
  const fs::path dir = Scratch("batch");
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "out");
  fs::copy_file(kSample, dir / "in" / "a.png");
  fs::copy_file(kSample, dir / "in" / "c.png");
  std::ofstream(dir / "in" / "b.png") << "not a picture";
  const std::string a = (dir / "in" / "a.png").string(), b = (dir / "in" / "b.png").string(),
                    c = (dir / "in" / "c.png").string();
  const Result result = RunQfhost({"apply", kModule, "Opacify", a, b, c, "--output-dir", (dir / "out").string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(Lines(result.err), (std::vector<std::string>{"qfhost: '" + b + "' is not a PNG file",
                                                         "qfhost: 2 of 3 files written, 1 failed"}));
  EXPECT_TRUE(fs::exists(dir / "out" / "a.png") && fs::exists(dir / "out" / "c.png"));
  EXPECT_FALSE(fs::exists(dir / "out" / "b.png"));

  // In place: each input replaced by its result; the output folder may not be the inputs'.
  const Result inPlace = RunQfhost({"apply", kModule, "Opacify", a, c, "--in-place"});
  EXPECT_EQ(inPlace.status, 0) << inPlace.err;
  EXPECT_EQ(Lines(inPlace.err), std::vector<std::string>{"qfhost: 2 of 2 files written, 0 failed"});
  for (const Pixel& p : ReadPng(a).pixels) ASSERT_EQ(p.a, 255);
  const Result same = RunQfhost({"apply", kModule, "0", a, "--output-dir", (dir / "in").string()});
  EXPECT_EQ(same.status, 1);
  EXPECT_NE(same.err.find("is the input itself"), std::string::npos) << same.err;
}

// Files worked on at once print and write what one file after another does: a slow first
// file's warning before the lines of the quick ones after it, a failure in the middle, a
// refused second output of one name, the counts.
TEST(Commands, ABatchOnSeveralThreadsPrintsAndWritesWhatOneAtATimeDoes) {
  const fs::path dir = Scratch("jobs");
  for (const char* folder : {"in", "again", "out-1", "out-3"}) fs::create_directories(dir / folder);
  const std::vector<PngChunk> broken{{"tEXt", {' ', 0}}};
  WriteWholeFile((dir / "in" / "big.png").string(), EncodePng(RandomImage(600, 400, 7), broken));
  std::ofstream(dir / "in" / "bad.png") << "not a picture";
  WriteWholeFile((dir / "in" / "warn.png").string(), EncodePng(ReadPng(kSample), broken));
  fs::copy_file(kSample, dir / "in" / "a.png");
  fs::copy_file(kSample, dir / "again" / "a.png");
  std::vector<std::string> args{"apply", kModule, "9"};
  for (const char* input : {"in/big.png", "in/bad.png", "in/warn.png", "in/a.png", "again/a.png"}) {
    args.push_back((dir / input).string());
  }
  const auto run = [&](const std::string& jobs) {
    std::vector<std::string> batch = args;
    batch.insert(batch.end(), {"--output-dir", (dir / ("out-" + jobs)).string(), "--jobs", jobs});
    return RunQfhost(batch);
  };
  const Result one = run("1"), three = run("3");
  EXPECT_EQ(three.status, 1);
  EXPECT_EQ(one.status, three.status);
  std::string expected = one.err;
  for (std::size_t at; (at = expected.find("out-1")) != std::string::npos;) expected.replace(at, 5, "out-3");
  EXPECT_EQ(Lines(three.err), Lines(expected));
  ASSERT_EQ(Lines(three.err).size(), 5u) << three.err;
  EXPECT_EQ(Lines(three.err).back(), "qfhost: 3 of 5 files written, 2 failed");
  for (const char* name : {"big.png", "warn.png", "a.png"}) {
    EXPECT_EQ(ReadWholeFile((dir / "out-1" / name).string(), kMaxFileBytes),
              ReadWholeFile((dir / "out-3" / name).string(), kMaxFileBytes)) << name;
  }
  EXPECT_FALSE(fs::exists(dir / "out-3" / "bad.png"));
}

// "-" as the input is standard input, except where it is a terminal or where a batch needs a
// file name; an output named for another image format is refused before any work.
TEST(Commands, StandardInputAndOtherFormatsNames) {
  const fs::path dir = Scratch("stdin");
  std::ifstream file(kSample, std::ios::binary);
  const std::string png(std::istreambuf_iterator<char>(file), {});
  const std::string out = (dir / "out.png").string();
  const struct {
    std::vector<std::string> args;
    bool inIsTerminal;
    int status;
    const char* written;  // the file the run must leave, or nullptr for none
  } cases[] = {
      {{"apply", kModule, "8", "-", out}, false, 0, "out.png"},
      {{"gallery", kModule, "-", (dir / "gallery.png").string()}, false, 0, "gallery.png"},
      {{"apply", kModule, "8", "-", out}, true, 1, nullptr},
      {{"apply", kModule, "8", "-", "--output-dir", Scratch("stdin-batch").string()}, false, 1,
       nullptr},
      {{"apply", kModule, "8", kSample, (dir / "out.JPG").string()}, false, 1, nullptr},
  };
  for (const auto& c : cases) {
    for (const auto& entry : fs::directory_iterator(dir)) fs::remove(entry.path());
    std::istringstream in(png);
    std::ostringstream stdOut, err;
    const int status = qfhost::Run(c.args, Console{stdOut, err, false, false, 0, &in, c.inIsTerminal});
    EXPECT_EQ(status, c.status) << c.args[3] << ": " << err.str();
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir)) left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, c.written ? std::vector<std::string>{c.written} : std::vector<std::string>{})
        << c.args[3];
    if (c.written != nullptr && c.args[0] == "apply") {
      EXPECT_TRUE(ReadPng(out).pixels == ReadPng(QFHOST_TEST_DATA "/golden/08-opacify.png").pixels);
    }
  }
  EXPECT_TRUE(fs::is_empty(QFHOST_SCRATCH_DIR "/stdin-batch"));
}

// A batch's output folder is checked once, before any file is read: one line, which says what
// to do, and no line of counts.
TEST(Commands, BatchFolderMistakesSayWhatToDo) {
  const fs::path dir = Scratch("batch-mistakes");
  std::ofstream(dir / "file") << "";
  const std::string a = (dir / "a.png").string(), b = (dir / "b.png").string();
  fs::copy_file(kSample, a);
  fs::copy_file(kSample, b);
  const struct {
    std::string folder;
    std::string says;
  } cases[] = {{"none", "mkdir"}, {"file", "not a folder"}};
  for (const auto& c : cases) {
    const Result result = RunQfhost({"apply", kModule, "9", a, b, "--output-dir", (dir / c.folder).string()});
    EXPECT_EQ(result.status, 1) << c.says;
    EXPECT_TRUE(IsOneErrorLine(result.err)) << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
  }
}

// A batch writes no file twice, however the file is named: inverting transparency twice
// would give back the input and report success. Each case names one file twice; the second
// name is refused and counted as failed, and the file holds the first run's result.
TEST(Commands, ABatchNeverWritesOneFileTwiceUnderAnotherName) {
  const fs::path dir = Scratch("twice");
  const Image inverted = ReadPng(QFHOST_TEST_DATA "/golden/09-invert-transparency.png");
  // Whether this program sees names that differ only in case as one file, as Windows (and
  // Wine) does and a Linux file system does not.
  std::ofstream(dir / "probe") << "";
  const bool foldsCase = fs::exists(dir / "PROBE");
  fs::remove(dir / "probe");

  struct Case {
    const char* what;
    std::vector<std::string> inputs;  // relative to the case's folder
    const char* link;  // made first, when given: a symbolic link LINK -> TARGET, to a copy of
    const char* target;  // the sample
    std::vector<std::string> batch;  // --in-place, or --output-dir and its folder
    const char* result;              // the file that must hold the first input's result
    int refused;
  };
  const Case cases[] = {
      {"in place, named twice", {"p.png", "sub/../p.png"}, nullptr, nullptr, {"--in-place"},
       "p.png", 1},
      {"in place, with a link", {"p.png", "link.png"}, "link.png", "p.png", {"--in-place"},
       "p.png", 1},
      {"into a folder, names in two cases", {"d1/Pic.png", "d2/pic.png"}, nullptr, nullptr,
       {"--output-dir", "out"}, "out/Pic.png", foldsCase ? 1 : 0},
      {"into a folder, over a link", {"d1/a.png", "d1/b.png"}, "out/b.png", "a.png",
       {"--output-dir", "out"}, "out/a.png", 1},
  };
  for (const Case& c : cases) {
    const fs::path here = dir / std::to_string(&c - cases);
    for (const char* folder : {"sub", "d1", "d2", "out"}) fs::create_directories(here / folder);
    if (c.link != nullptr) {
#ifdef _WIN32
      continue;  // symbolic links need privileges on Windows
#else
      fs::copy_file(kSample, (here / c.link).parent_path() / c.target);
      fs::create_symlink(c.target, here / c.link);
#endif
    }
    std::vector<std::string> args{"apply", kModule, "Invert Transparency"};
    for (const std::string& input : c.inputs) {
      // The later inputs, where they are files of their own, differ from the first.
      if (!fs::exists(here / input)) {
        fs::copy_file(input == c.inputs[0] ? kSample : QFHOST_TEST_DATA "/golden/08-opacify.png",
                      here / input);
      }
      args.push_back((here / input).string());
    }
    for (const std::string& arg : c.batch) args.push_back(arg == "out" ? (here / arg).string() : arg);
    const Result result = RunQfhost(args);
    const int total = static_cast<int>(c.inputs.size());
    EXPECT_EQ(result.status, c.refused > 0 ? 1 : 0) << c.what << ": " << result.err;
    EXPECT_EQ(Lines(result.err).back(), "qfhost: " + std::to_string(total - c.refused) + " of " +
                                            std::to_string(total) + " files written, " +
                                            std::to_string(c.refused) + " failed")
        << c.what;
    EXPECT_TRUE(ReadPng((here / c.result).string()).pixels == inverted.pixels) << c.what;
  }
}

}  // namespace
}  // namespace veilmere::qfhost
