// The gallery's layout, checkerboard, compositing and labels.

#include "tools/qfhost/gallery.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/test_image.h"
#include "tests/tools/qfhost/support/random_image.h"
#include "tools/qfhost/errors.h"

namespace veilmere::qfhost {
namespace {

TEST(PlanGallery, LaysCellsOutInAnAboutSquareGrid) {
  const GalleryLayout layout = PlanGallery(11, 64, 48, 3, 100);
  EXPECT_EQ(layout.columns, 4);
  EXPECT_EQ(layout.rows, 3);
  EXPECT_EQ(layout.cellWidth, 192);
  EXPECT_EQ(layout.cellHeight, kLabelHeight + 144);
  EXPECT_EQ(layout.width, 4 * (192 + kMargin) + kMargin);
  EXPECT_EQ(layout.height, 3 * (kLabelHeight + 144 + kMargin) + kMargin);
  EXPECT_EQ(layout.CellOrigin(0).x, kMargin);
  EXPECT_EQ(layout.CellOrigin(0).y, kMargin);
  EXPECT_EQ(layout.CellOrigin(3).x, kMargin + 3 * (192 + kMargin));
  EXPECT_EQ(layout.CellOrigin(5).x, kMargin + 192 + kMargin);
  EXPECT_EQ(layout.CellOrigin(5).y, kMargin + kLabelHeight + 144 + kMargin);
  EXPECT_EQ(layout.ImageOrigin(5).y, layout.CellOrigin(5).y + kLabelHeight);
  EXPECT_EQ(layout.ImageOrigin(5).x, layout.CellOrigin(5).x);  // the image fills the cell

  // A label wider than the image widens the cell, and the image is centred under it.
  const GalleryLayout narrow = PlanGallery(3, 10, 4, 1, 51);
  EXPECT_EQ(narrow.cellWidth, 51);
  EXPECT_EQ(narrow.ImageOrigin(1).x, narrow.CellOrigin(1).x + 20);

  const std::pair<int, int> columns[] = {{1, 1}, {2, 2}, {4, 2}, {5, 3}, {9, 3}, {10, 4}, {16, 4}, {17, 5}};
  for (const auto& [cells, expected] : columns) {
    const GalleryLayout grid = PlanGallery(cells, 8, 8, 1, 0);
    EXPECT_EQ(grid.columns, expected) << cells;
    EXPECT_EQ(grid.rows, (cells + expected - 1) / expected) << cells;
  }
}

TEST(PlanGallery, RefusesAGalleryTooLargeToMake) {
  EXPECT_THROW(PlanGallery(11, 4000, 3000, 1, 0), RunError);
  EXPECT_THROW(PlanGallery(11, 1 << 20, 1 << 20, 16, 0), RunError);  // beyond 32 bits, too
  EXPECT_NO_THROW(PlanGallery(11, 1000, 1000, 1, 0));
}

TEST(Checkerboard, AlternatesLightAndDarkSquares) {
  const std::pair<Point, Pixel> expected[] = {
      {{0, 0}, kLightCheck},  {{7, 7}, kLightCheck},  {{8, 0}, kDarkCheck},
      {{0, 8}, kDarkCheck},   {{8, 8}, kLightCheck},  {{15, 15}, kLightCheck},
      {{16, 0}, kLightCheck}, {{23, 8}, kDarkCheck},  {{24, 31}, kLightCheck}};
  for (const auto& [at, colour] : expected) {
    EXPECT_EQ(CheckerColour(at.x, at.y), colour) << at.x << "," << at.y;
  }
  EXPECT_NE(kLightCheck, kDarkCheck);
}

TEST(Over, IsRoundedAlphaBlendingToAnOpaquePixel) {
  const std::uint8_t values[] = {0, 1, 77, 127, 128, 200, 254, 255};
  for (int alpha = 0; alpha < 256; ++alpha) {
    // One channel of `over` at `alpha` on an opaque `under`, rounded to the nearest.
    const auto blend = [alpha](int over, int under) {
      return static_cast<std::uint8_t>(std::lround((over * alpha + under * (255.0 - alpha)) / 255.0));
    };
    for (std::uint8_t top : values) {
      for (std::uint8_t bottom : values) {
        const Pixel result = Over(Pixel{top, std::uint8_t(255 - top), top, std::uint8_t(alpha)},
                                  Pixel{bottom, bottom, std::uint8_t(255 - bottom), 255});
        ASSERT_EQ(result, (Pixel{blend(top, bottom), blend(255 - top, bottom),
                                 blend(top, 255 - bottom), 255}))
            << int{top} << " over " << int{bottom} << " at alpha " << alpha;
      }
    }
  }
}

TEST(Gallery, DrawsEachImageEnlargedOverTheCheckerboardAndLabelsInTheirBand) {
  const GalleryLayout layout = PlanGallery(3, 5, 4, 3, LabelWidth("input"));
  Gallery gallery(layout);
  const Image first = RandomImage(5, 4, 1);
  const Image second = RandomImage(5, 4, 2);
  gallery.Place(0, first, "input");
  gallery.Place(2, second, "2 A");  // cell 1 stays empty

  const Image& out = gallery.image();
  ASSERT_EQ(out.width, layout.width);
  ASSERT_EQ(out.height, layout.height);
  int labelPixels[3] = {0, 0, 0};
  for (std::int32_t y = 0; y < out.height; ++y) {
    for (std::int32_t x = 0; x < out.width; ++x) {
      Pixel expected = kPageColour;
      bool inLabel = false;
      for (std::int32_t cell : {0, 2}) {
        const Point image = layout.ImageOrigin(cell);
        const Point label = layout.CellOrigin(cell);
        const Image& placed = cell == 0 ? first : second;
        if (x >= image.x && x < image.x + 15 && y >= image.y && y < image.y + 12) {
          expected = Over(placed.at((x - image.x) / 3, (y - image.y) / 3),
                          CheckerColour(x - image.x, y - image.y));
        }
        if (x >= label.x && x < label.x + layout.cellWidth && y >= label.y && y < image.y) {
          inLabel = true;
          if (out.at(x, y) == kLabelColour) ++labelPixels[cell];
        }
      }
      if (inLabel && out.at(x, y) == kLabelColour) continue;
      ASSERT_EQ(out.at(x, y), expected) << x << "," << y;
    }
  }
  EXPECT_GT(labelPixels[0], 20);
  EXPECT_GT(labelPixels[2], 5);
  EXPECT_EQ(labelPixels[1], 0);
}

TEST(Gallery, CutsLabelsAtTheCellEdgeAndDrawsOnlyPrintableAscii) {
  // Cells narrower than their labels: nothing of a label may spill into the next cell.
  const GalleryLayout layout = PlanGallery(2, 4, 4, 1, 10);
  Gallery gallery(layout);
  gallery.Place(0, RandomImage(4, 4, 3), "A very long label that cannot fit");
  const Point next = layout.CellOrigin(1);
  for (std::int32_t y = next.y; y < next.y + kLabelHeight; ++y) {
    for (std::int32_t x = next.x - kMargin; x < layout.width; ++x) {
      EXPECT_EQ(gallery.image().at(x, y), kPageColour) << x << "," << y;
    }
  }

  // Bytes beyond ASCII, and control characters, are drawn as '?'.
  EXPECT_EQ(LabelWidth("不"), LabelWidth("???"));
  EXPECT_EQ(LabelWidth("a\tb\x7F"), LabelWidth("a?b?"));
  Gallery other(PlanGallery(1, 40, 2, 1, 0));
  other.Place(0, RandomImage(40, 2, 4), "透明\x01\xFF");
  Gallery same(PlanGallery(1, 40, 2, 1, 0));
  same.Place(0, RandomImage(40, 2, 4), "????????");
  EXPECT_EQ(other.image().pixels, same.image().pixels);
}

TEST(Gallery, RefusesAnImageOrCellThatDoesNotFit) {
  Gallery gallery(PlanGallery(2, 4, 4, 1, 0));
  EXPECT_THROW(gallery.Place(0, Image(5, 4), "x"), RunError);
  EXPECT_THROW(gallery.Place(2, Image(4, 4), "x"), RunError);
  EXPECT_THROW(gallery.Place(-1, Image(4, 4), "x"), RunError);
}

}  // namespace
}  // namespace veilmere::qfhost
