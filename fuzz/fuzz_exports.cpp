// libFuzzer target over the module's five exports, called as a host calls them. Each input
// decodes into a short series of calls: any index (negative and huge included), text buffers
// of any length up to a few KiB, each exactly that long against an inaccessible page, and
// runs over guarded images (row padding, bottom-up, in place or not) with rectangles that lie
// inside them, with and without a progress function.
//
// Beyond "no crash" (AddressSanitizer, UndefinedBehaviorSanitizer and the guard pages), every
// call is checked against the module's contract: the strncpy rule for text, the pixel rules
// inside the rectangle and nothing changed outside it, the progress bracket, the set-up and
// count answers. A broken contract aborts, which libFuzzer reports like a crash.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "filters/filter_table.h"
#include "host/host_api.h"
#include "host/module_api.h"
#include "hostkit/colour_answer.h"
#include "tests/support/expected_rules.h"
#include "tests/support/guarded_image.h"
#include "tests/support/strncpy_rule.h"

namespace {

using veilmere::FilterRect;
using veilmere::HostValue;
using veilmere::kFilterCount;
using veilmere::Pixel;
using veilmere::test::Flush;
using veilmere::test::GuardedBlock;
using veilmere::test::GuardedImage;

constexpr std::uint32_t kMaxTextBuffer = 4096;
constexpr std::int32_t kMaxSide = 40;
constexpr std::int32_t kMaxPadding = 8;
constexpr int kMaxCallsPerInput = 12;
constexpr unsigned char kFill = 0xAA;

#define FUZZ_CHECK(condition)                                                          \
  do {                                                                                 \
    if (!(condition)) {                                                                \
      std::fprintf(stderr, "contract broken at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                    \
    }                                                                                  \
  } while (0)

// The labels and rules the module offers, read once through the exports with ample buffers.
struct Catalogue {
  std::string info;
  std::vector<std::string> categories;
  std::vector<std::string> names;
  std::vector<const veilmere::test::ExpectedRule*> rules;
  veilmere::test::HostColours colours;
};

// The module is linked in (plugin/exports.cpp) and attaches, asking for the host's colours,
// while the program starts, before any static object of ordinary priority is made: this
// answer is made first.
[[gnu::init_priority(101)]] veilmere::hostkit::ColourAnswer gHost(
    veilmere::test::kTestColours, veilmere::test::kTestQueryResult);

Catalogue& TheCatalogue() {
  static Catalogue catalogue;
  return catalogue;
}

bool InRange(std::int32_t index) { return index >= 0 && index < kFilterCount; }

std::int32_t ConsumeIndex(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0:
      return input.ConsumeIntegralInRange<std::int32_t>(0, kFilterCount - 1);
    case 1:
      return input.ConsumeIntegralInRange<std::int32_t>(-2, kFilterCount + 1);
    default:
      return input.ConsumeIntegral<std::int32_t>();  // anything, INT_MIN to INT_MAX
  }
}

Flush ConsumeFlush(FuzzedDataProvider& input) {
  return input.ConsumeBool() ? Flush::kEnd : Flush::kStart;
}

// A text buffer as a host may pass it: usually exactly `length` guarded bytes, sometimes a
// null pointer with any length at all (the module must then write nothing).
struct TextBuffer {
  std::unique_ptr<GuardedBlock> block;
  std::uint32_t length = 0;

  char* data() const { return block ? reinterpret_cast<char*>(block->data()) : nullptr; }
};

TextBuffer ConsumeTextBuffer(FuzzedDataProvider& input) {
  TextBuffer buffer;
  if (input.ConsumeIntegralInRange(0, 15) == 0) {
    buffer.length = input.ConsumeIntegral<std::uint32_t>();
    return buffer;
  }
  buffer.length = input.ConsumeBool() ? input.ConsumeIntegralInRange<std::uint32_t>(0, 80)
                                      : input.ConsumeIntegralInRange<std::uint32_t>(0, kMaxTextBuffer);
  buffer.block = std::make_unique<GuardedBlock>(buffer.length, ConsumeFlush(input));
  std::memset(buffer.block->data(), kFill, buffer.length);
  return buffer;
}

// The strncpy rule (tests/support/strncpy_rule.h).
void CheckStrncpyRule(const TextBuffer& buffer, const std::string& text) {
  if (!buffer.block) return;
  FUZZ_CHECK(std::string(buffer.data(), buffer.length) ==
             veilmere::test::StrncpyResult(text, buffer.length));
}

void FuzzPluginInfo(FuzzedDataProvider& input) {
  const TextBuffer buffer = ConsumeTextBuffer(input);
  FUZZ_CHECK(QF_GetPluginInfo(buffer.data(), buffer.length) == 1);
  CheckStrncpyRule(buffer, TheCatalogue().info);
}

void FuzzGetName(FuzzedDataProvider& input) {
  const std::int32_t index = ConsumeIndex(input);
  const TextBuffer category = ConsumeTextBuffer(input);
  const TextBuffer name = ConsumeTextBuffer(input);
  FUZZ_CHECK(QFF_GetName(index, category.data(), category.length, name.data(), name.length) ==
             name.data());
  const auto slot = static_cast<std::size_t>(index);
  CheckStrncpyRule(category, InRange(index) ? TheCatalogue().categories[slot] : "");
  CheckStrncpyRule(name, InRange(index) ? TheCatalogue().names[slot] : "");
}

void FuzzSetup(FuzzedDataProvider& input) {
  const std::int32_t index = ConsumeIndex(input);
  const auto owner = input.ConsumeIntegral<HostValue>();
  const auto v3 = input.ConsumeIntegral<HostValue>();
  const auto v4 = input.ConsumeIntegral<HostValue>();
  const auto v5 = input.ConsumeIntegral<HostValue>();
  FUZZ_CHECK(QFF_Setup(index, owner, v3, v4, v5) == (InRange(index) ? 1 : 0));
}

// Records what the module reports; its answer lets the check tell which call's result the
// export returned.
struct ProgressRecorder {
  std::vector<std::int32_t> positions;
  bool wrongMaximum = false;
};

std::int32_t QF_CALL RecordProgress(std::int32_t position, std::int32_t maximum, void* user) {
  auto* recorder = static_cast<ProgressRecorder*>(user);
  if (maximum != 100) recorder->wrongMaximum = true;
  recorder->positions.push_back(position);
  return 1000 + position;
}

// A rectangle as the host may pass it: inside the image, empty or inverted anywhere (it then
// touches nothing), or without columns but with rows inside the image.
FilterRect ConsumeRect(FuzzedDataProvider& input, std::int32_t width, std::int32_t height) {
  FilterRect rect{};
  switch (input.ConsumeIntegralInRange(0, 5)) {
    case 0:
      rect.top = input.ConsumeIntegral<std::int32_t>();
      rect.bottom = input.ConsumeIntegralInRange(INT32_MIN, rect.top);
      rect.left = input.ConsumeIntegral<std::int32_t>();
      rect.right = input.ConsumeIntegral<std::int32_t>();
      return rect;
    case 1:
      rect.top = input.ConsumeIntegralInRange<std::int32_t>(0, height);
      rect.bottom = input.ConsumeIntegralInRange<std::int32_t>(rect.top, height);
      rect.left = input.ConsumeIntegral<std::int32_t>();
      rect.right = input.ConsumeIntegralInRange(INT32_MIN, rect.left);
      return rect;
    case 2:
      return FilterRect{0, 0, width, height};
    default:
      rect.left = input.ConsumeIntegralInRange<std::int32_t>(0, width);
      rect.right = input.ConsumeIntegralInRange<std::int32_t>(rect.left, width);
      rect.top = input.ConsumeIntegralInRange<std::int32_t>(0, height);
      rect.bottom = input.ConsumeIntegralInRange<std::int32_t>(rect.top, height);
      return rect;
  }
}

void FuzzExecute(FuzzedDataProvider& input) {
  const Catalogue& catalogue = TheCatalogue();
  const std::int32_t index = ConsumeIndex(input);
  const std::int32_t width = input.ConsumeIntegralInRange<std::int32_t>(1, kMaxSide);
  const std::int32_t height = input.ConsumeIntegralInRange<std::int32_t>(1, kMaxSide);
  const std::int32_t stride = width + input.ConsumeIntegralInRange<std::int32_t>(0, kMaxPadding);
  const bool bottomUp = input.ConsumeBool();
  const bool inPlace = input.ConsumeBool();
  const bool withProgress = input.ConsumeBool();
  // Rarely, a null image: the module then touches no pixel but still reports.
  const int nullImage = input.ConsumeIntegralInRange(0, 15);
  const bool nullRect = input.ConsumeIntegralInRange(0, 15) == 0;

  GuardedImage source(width, height, stride, bottomUp, ConsumeFlush(input));
  GuardedImage separate(inPlace ? 0 : width, inPlace ? 0 : height, stride, bottomUp,
                        ConsumeFlush(input));
  const GuardedImage& destination = inPlace ? source : separate;
  source.FillRandom(input.ConsumeIntegral<std::uint32_t>());
  if (!inPlace) separate.FillRandom(input.ConsumeIntegral<std::uint32_t>());
  if (input.ConsumeBool()) {  // some pixels in the drawing colour
    for (std::size_t i = 0; i < source.pixelCount(); i += 3) {
      source.memory()[i] = veilmere::test::WithAlpha(catalogue.colours.drawing,
                                                     source.memory()[i].a);
    }
  }
  const std::vector<Pixel> sourceBefore = source.Snapshot();
  const std::vector<Pixel> destinationBefore = destination.Snapshot();

  // The rectangle, too, lies against an inaccessible page.
  GuardedBlock rectBlock(sizeof(FilterRect), Flush::kEnd);
  const FilterRect rect = ConsumeRect(input, width, height);
  std::memcpy(rectBlock.data(), &rect, sizeof rect);
  const auto* rectArgument = nullRect ? nullptr : reinterpret_cast<const FilterRect*>(rectBlock.data());

  Pixel* const sourceArgument = nullImage == 1 ? nullptr : source.origin();
  Pixel* const destinationArgument = nullImage == 2 ? nullptr : destination.origin();
  const auto v2 = input.ConsumeIntegral<HostValue>();
  const auto v5 = input.ConsumeIntegral<HostValue>();
  const auto v7 = input.ConsumeIntegral<HostValue>();
  const auto v9 = input.ConsumeIntegral<HostValue>();

  ProgressRecorder recorder;
  const std::int32_t result =
      QFF_Execute(index, v2, sourceArgument, destinationArgument, v5, rectArgument, v7,
                  source.rowLength(), v9, withProgress ? &RecordProgress : nullptr,
                  withProgress ? &recorder : nullptr);

  // Progress: 0 first, 100 last, strictly rising in between, the last call's answer returned.
  if (withProgress) {
    FUZZ_CHECK(!recorder.wrongMaximum);
    FUZZ_CHECK(recorder.positions.size() >= 2 && recorder.positions.size() <= 101);
    FUZZ_CHECK(recorder.positions.front() == 0 && recorder.positions.back() == 100);
    for (std::size_t i = 1; i < recorder.positions.size(); ++i) {
      FUZZ_CHECK(recorder.positions[i] > recorder.positions[i - 1]);
    }
    FUZZ_CHECK(result == 1100);
  } else {
    FUZZ_CHECK(result == 0);
  }

  // Pixels: the rule inside the rectangle, nothing else changed anywhere.
  const bool touches = InRange(index) && !nullRect && nullImage != 1 && nullImage != 2;
  if (!inPlace) FUZZ_CHECK(source.Snapshot() == sourceBefore);
  for (std::size_t i = 0; i < destination.pixelCount(); ++i) {
    std::int32_t x = 0, y = 0;
    destination.Coordinates(i, x, y);
    const bool inside = touches && x < width && x >= rect.left && x < rect.right &&
                        y >= rect.top && y < rect.bottom;
    const Pixel want = inside ? (*catalogue.rules[std::size_t(index)])(sourceBefore[i],
                                                                     catalogue.colours)
                              : destinationBefore[i];
    FUZZ_CHECK(destination.memory()[i] == want);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Catalogue& catalogue = TheCatalogue();
  // The host's colours, as the module asked for them while it loaded.
  catalogue.colours = gHost.colours();
  FUZZ_CHECK(gHost.queries().size() == 3);
  FUZZ_CHECK(QFF_FilterCount() == kFilterCount);
  char text[512];
  QF_GetPluginInfo(text, sizeof text);
  catalogue.info = text;
  for (std::int32_t index = 0; index < kFilterCount; ++index) {
    char category[256], name[256];
    QFF_GetName(index, category, sizeof category, name, sizeof name);
    catalogue.categories.push_back(category);
    catalogue.names.push_back(name);
    const std::string english = catalogue.names.back().substr(0, catalogue.names.back().find('|'));
    catalogue.rules.push_back(&veilmere::test::RuleFor(english));
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  for (int call = 0; call < kMaxCallsPerInput && input.remaining_bytes() > 0; ++call) {
    switch (input.ConsumeIntegralInRange(0, 4)) {
      case 0:
        FuzzPluginInfo(input);
        break;
      case 1:
        FUZZ_CHECK(QFF_FilterCount() == kFilterCount);
        break;
      case 2:
        FuzzGetName(input);
        break;
      case 3:
        FuzzExecute(input);
        break;
      default:
        FuzzSetup(input);
        break;
    }
  }
  return 0;
}
