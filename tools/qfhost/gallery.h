#pragma once
// The gallery: an input image and every filter's result side by side, each over a
// checkerboard so that transparency shows, for a person to look at.
//
// Cells run left to right, then top to bottom. Each cell is a label line (kLabelHeight
// pixels) above the image, enlarged `scale` times; cells and the gallery's edges are kMargin
// pixels apart; a cell is as wide as the wider of the image and the widest label, the image
// centred in it.

#include <cstdint>
#include <string>
#include <string_view>

#include "host/host_api.h"
#include "tools/qfhost/image.h"

namespace veilmere::qfhost {

inline constexpr std::int32_t kMargin = 8;
inline constexpr std::int32_t kLabelHeight = 14;
inline constexpr std::int32_t kCheckSize = 8;  // checkerboard squares, in gallery pixels
inline constexpr Pixel kLightCheck{0xCC, 0xCC, 0xCC, 255};
inline constexpr Pixel kDarkCheck{0x99, 0x99, 0x99, 255};
inline constexpr Pixel kPageColour{0x30, 0x30, 0x30, 255};
inline constexpr Pixel kLabelColour{0xF0, 0xF0, 0xF0, 255};

// The largest gallery qfhost makes, in pixels (256 MiB of them), so that even the 32-bit build
// can hold it and its PNG encoding at once.
inline constexpr std::int64_t kMaxGalleryPixels = std::int64_t{1} << 26;

struct Point {
  std::int32_t x;
  std::int32_t y;
};

struct GalleryLayout {
  std::int32_t cells = 0;
  std::int32_t columns = 0;  // ceil(sqrt(cells)), so the grid is about square
  std::int32_t rows = 0;
  std::int32_t scale = 1;
  std::int32_t imageWidth = 0;  // the source image, before enlarging
  std::int32_t imageHeight = 0;
  std::int32_t cellWidth = 0;
  std::int32_t cellHeight = 0;  // kLabelHeight + imageHeight * scale
  std::int32_t width = 0;       // the whole gallery
  std::int32_t height = 0;

  Point CellOrigin(std::int32_t cell) const;   // top-left of the cell: where its label starts
  Point ImageOrigin(std::int32_t cell) const;  // top-left of its (enlarged) image
};

// The layout for `cells` images of imageWidth x imageHeight, enlarged `scale` times, under
// labels at most `labelWidth` pixels wide. Throws RunError when the gallery would exceed
// kMaxGalleryPixels.
GalleryLayout PlanGallery(std::int32_t cells, std::int32_t imageWidth, std::int32_t imageHeight,
                          std::int32_t scale, std::int32_t labelWidth);

// The width in pixels of a label drawn with the gallery's font.
std::int32_t LabelWidth(std::string_view text);

// The checkerboard's colour at (x, y) from an image's top-left corner: light where
// x / kCheckSize + y / kCheckSize is even, dark where odd.
Pixel CheckerColour(std::int32_t x, std::int32_t y);

// `top` drawn over the opaque `bottom`: each colour channel
// (top * a + bottom * (255 - a) + 127) / 255, with a = top's alpha; alpha 255.
Pixel Over(Pixel top, Pixel bottom);

class Gallery {
 public:
  // An empty gallery of the layout's size, in the page colour.
  explicit Gallery(const GalleryLayout& layout);

  // Draws `image` (of the layout's image size) into cell `cell` over the checkerboard, and
  // `label` above it, in printable ASCII ('?' for anything else), cut at the cell's edge.
  void Place(std::int32_t cell, const Image& image, std::string_view label);

  const Image& image() const { return image_; }

 private:
  void DrawLabel(Point origin, std::string_view label);

  GalleryLayout layout_;
  Image image_;
};

}  // namespace veilmere::qfhost
