// The module never reads or writes a byte outside what the host hands it: every image and
// every text buffer lies against an inaccessible page, so one stray access ends the program.
// Runs through the loaded module's exports, as a host calls them.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "filters/filter_table.h"
#include "tests/support/expected_rules.h"
#include "tests/support/guarded_image.h"
#include "tests/support/module_suite.h"
#include "tests/support/progress_log.h"
#include "tests/support/strncpy_rule.h"
#include "tests/support/version.h"

namespace veilmere::test {
namespace {

constexpr unsigned char kFill = 0xAA;
constexpr Flush kPlacements[] = {Flush::kEnd, Flush::kStart};

const char* PlacementName(Flush flush) { return flush == Flush::kEnd ? "flush end" : "flush start"; }

TEST(GuardedMemory, FencesLieRightOutsideEveryBlockAndImage) {
  const std::size_t page = GuardedBlock::PageSize();
  for (const std::size_t bytes : {std::size_t{0}, std::size_t{1}, std::size_t{4}, page - 1, page,
                                  page + 4, 3 * page - 8}) {
    for (const Flush flush : kPlacements) {
      GuardedBlock block(bytes, flush);
      SCOPED_TRACE(std::to_string(bytes) + " bytes, " + PlacementName(flush));
      if (flush == Flush::kEnd || bytes % page == 0) {
        EXPECT_TRUE(GuardedBlock::IsInaccessible(block.data() + bytes));
      }
      if (flush == Flush::kStart || bytes % page == 0) {
        EXPECT_TRUE(GuardedBlock::IsInaccessible(block.data() - 1));
      }
      if (bytes == 0) continue;
      EXPECT_FALSE(GuardedBlock::IsInaccessible(block.data()));
      EXPECT_FALSE(GuardedBlock::IsInaccessible(block.data() + bytes - 1));
      std::memset(block.data(), 0x5A, bytes);  // every byte is writable
    }
  }

  for (const bool bottomUp : {false, true}) {
    GuardedImage image(5, 3, 7, bottomUp, Flush::kEnd);
    EXPECT_EQ(image.pixelCount(), 2u * 7 + 5);
    EXPECT_EQ(image.rowLength(), bottomUp ? -7 : 7);
    // The first pixel of the top row and the last pixel of the bottom row, as addressed by the
    // module, are the block's ends in the order the image lies in memory.
    Pixel* const firstInMemory = image.memory();
    Pixel* const lastInMemory = image.memory() + image.pixelCount() - 1;
    EXPECT_EQ(&image.at(0, 0), bottomUp ? firstInMemory + 14 : firstInMemory);
    EXPECT_EQ(&image.at(4, 2), bottomUp ? firstInMemory + 4 : lastInMemory);
    EXPECT_TRUE(GuardedBlock::IsInaccessible(lastInMemory + 1));
    std::int32_t x = 0, y = 0;
    image.Coordinates(image.pixelCount() - 1, x, y);
    EXPECT_EQ(&image.at(x, y), lastInMemory);
  }
}

class GuardPageTest : public ModuleSuite {
 protected:
  static std::string EnglishName(std::int32_t index) {
    const std::string label = Labels(index).second;
    return label.substr(0, label.find('|'));
  }
};

// Rectangles over a 13 x 9 image that between them touch each edge and each corner.
constexpr std::int32_t kWidth = 13;
constexpr std::int32_t kHeight = 9;
constexpr FilterRect kEdgeRects[] = {
    {0, 0, kWidth, kHeight},               // the whole image
    {0, 2, 4, 7},                          // left edge
    {kWidth - 4, 2, kWidth, 7},            // right edge
    {3, 0, 10, 3},                         // top edge
    {3, kHeight - 3, 10, kHeight},         // bottom edge
    {0, 0, 1, 1},                          // top-left pixel
    {kWidth - 1, kHeight - 1, kWidth, kHeight},  // bottom-right pixel
    {0, kHeight - 1, kWidth, kHeight},     // the whole bottom row
    {kWidth - 1, 0, kWidth, kHeight},      // the whole right column
};

TEST_F(GuardPageTest, EveryFilterOverRectanglesTouchingEachEdgeStaysInsideTheImages) {
  const HostColours host = kTestColours;
  const std::int32_t count = Count();
  ASSERT_EQ(count, kFilterCount);
  std::uint32_t seed = 1;
  for (std::int32_t index = 0; index < count; ++index) {
    const std::string name = EnglishName(index);
    const ExpectedRule& rule = RuleFor(name);
    for (const std::int32_t stride : {kWidth, kWidth + 4}) {
      for (const bool bottomUp : {false, true}) {
        for (const Flush flush : kPlacements) {
          for (const bool inPlace : {false, true}) {
            for (const FilterRect& rect : kEdgeRects) {
              SCOPED_TRACE(name + ", stride " + std::to_string(stride) +
                           (bottomUp ? ", bottom-up, " : ", top-down, ") + PlacementName(flush) +
                           (inPlace ? ", in place" : ", two images") + ", rect " +
                           std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
                           std::to_string(rect.right) + " " + std::to_string(rect.bottom));
              GuardedImage source(kWidth, kHeight, stride, bottomUp, flush);
              GuardedImage separate(inPlace ? 0 : kWidth, inPlace ? 0 : kHeight, stride,
                                    bottomUp, flush);
              const GuardedImage& destination = inPlace ? source : separate;
              source.FillRandom(seed++);
              // A few pixels in the drawing colour, so that its filter has something to match.
              for (std::size_t i = 0; i < source.pixelCount(); i += 5) {
                source.memory()[i] = WithAlpha(host.drawing, source.memory()[i].a);
              }
              if (!inPlace) separate.FillRandom(seed++);
              const std::vector<Pixel> sourceBefore = source.Snapshot();
              const std::vector<Pixel> destinationBefore = destination.Snapshot();

              ProgressLog log;
              module_->Execute()(index, 0, source.origin(), destination.origin(), 0, &rect, 0,
                                 source.rowLength(), 0, &RecordProgress, &log);

              EXPECT_EQ(log.Positions(), ExpectedPositions(rect.bottom - rect.top));
              if (!inPlace) {
                ASSERT_EQ(source.Snapshot(), sourceBefore);
              }
              for (std::size_t i = 0; i < destination.pixelCount(); ++i) {
                std::int32_t x = 0, y = 0;
                destination.Coordinates(i, x, y);
                const bool inside = x < kWidth && x >= rect.left && x < rect.right &&
                                    y >= rect.top && y < rect.bottom;
                ASSERT_EQ(destination.memory()[i],
                          inside ? rule(sourceBefore[i], host) : destinationBefore[i])
                    << "at x " << x << " y " << y << (x >= kWidth ? " (row padding)" : "");
              }
            }
          }
        }
      }
    }
  }
}

// Hands `copy` a guarded block of every length from 0 to five bytes past `text`, in either
// placement, and checks what it copied there against the strncpy rule for `text`.
template <class Copy>
void ExpectEveryLengthCopied(const std::string& text, Copy copy) {
  for (const Flush flush : kPlacements) {
    for (std::size_t length = 0; length <= text.size() + 5; ++length) {
      SCOPED_TRACE("length " + std::to_string(length) + ", " + PlacementName(flush));
      GuardedBlock block(length, flush);
      std::memset(block.data(), kFill, length);
      copy(reinterpret_cast<char*>(block.data()), std::uint32_t(length));
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data()), length),
                StrncpyResult(text, length));
    }
  }
}

TEST_F(GuardPageTest, TextCopiesWriteNoMoreThanTheLengthGivenForAnyIndex) {
  char ample[256];
  std::vector<std::int32_t> indexes{INT_MIN, -1, Count(), INT_MAX};  // and every filter's
  for (std::int32_t index = 0; index < Count(); ++index) indexes.push_back(index);
  for (const std::int32_t index : indexes) {
    SCOPED_TRACE("index " + std::to_string(index));
    const auto [category, name] = Labels(index);
    ExpectEveryLengthCopied(category, [&](char* buffer, std::uint32_t length) {
      EXPECT_EQ(module_->GetName()(index, buffer, length, ample, sizeof ample), ample);
    });
    ExpectEveryLengthCopied(name, [&](char* buffer, std::uint32_t length) {
      EXPECT_EQ(module_->GetName()(index, ample, sizeof ample, buffer, length), buffer);
    });
  }
  SCOPED_TRACE("information line");
  ExpectEveryLengthCopied(InfoLine(), [&](char* buffer, std::uint32_t length) {
    EXPECT_EQ(module_->GetPluginInfo()(buffer, length), 1);
  });
}

}  // namespace
}  // namespace veilmere::test
