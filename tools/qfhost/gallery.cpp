#include "tools/qfhost/gallery.h"

#include <stb_easy_font.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/qfhost/errors.h"

namespace veilmere::qfhost {
namespace {

// The font covers the characters 32 to 126 and indexes a table with anything else: only
// those reach it.
std::string PrintableAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c < 32 || c > 126) c = '?';
  }
  return out;
}

// stb_easy_font's vertex: x, y, z as floats, then 4 colour bytes; four make one quad.
struct FontVertex {
  float x, y, z;
  unsigned char colour[4];
};
static_assert(sizeof(FontVertex) == 16);

}  // namespace

Point GalleryLayout::CellOrigin(std::int32_t cell) const {
  const std::int32_t column = cell % columns;
  const std::int32_t row = cell / columns;
  return {kMargin + column * (cellWidth + kMargin), kMargin + row * (cellHeight + kMargin)};
}

Point GalleryLayout::ImageOrigin(std::int32_t cell) const {
  const Point origin = CellOrigin(cell);
  return {origin.x + (cellWidth - imageWidth * scale) / 2, origin.y + kLabelHeight};
}

GalleryLayout PlanGallery(std::int32_t cells, std::int32_t imageWidth, std::int32_t imageHeight,
                          std::int32_t scale, std::int32_t labelWidth) {
  GalleryLayout layout;
  layout.cells = cells;
  layout.columns = 1;
  while (std::int64_t{layout.columns} * layout.columns < cells) ++layout.columns;
  layout.rows = (cells + layout.columns - 1) / layout.columns;
  layout.scale = scale;
  layout.imageWidth = imageWidth;
  layout.imageHeight = imageHeight;

  const std::int64_t cellWidth = std::max<std::int64_t>(std::int64_t{imageWidth} * scale, labelWidth);
  const std::int64_t cellHeight = kLabelHeight + std::int64_t{imageHeight} * scale;
  const std::int64_t width = layout.columns * (cellWidth + kMargin) + kMargin;
  const std::int64_t height = layout.rows * (cellHeight + kMargin) + kMargin;
  if (width * height > kMaxGalleryPixels) {
    throw RunError("the gallery would be " + std::to_string(width) + "x" + std::to_string(height) +
                   " pixels, more than the " + std::to_string(kMaxGalleryPixels) +
                   " qfhost makes; use a smaller image" +
                   (scale > 1 ? " or a smaller --scale" : std::string()));
  }
  layout.cellWidth = static_cast<std::int32_t>(cellWidth);
  layout.cellHeight = static_cast<std::int32_t>(cellHeight);
  layout.width = static_cast<std::int32_t>(width);
  layout.height = static_cast<std::int32_t>(height);
  return layout;
}

std::int32_t LabelWidth(std::string_view text) {
  std::string printable = PrintableAscii(text);
  return stb_easy_font_width(printable.data());
}

Pixel CheckerColour(std::int32_t x, std::int32_t y) {
  return ((x / kCheckSize + y / kCheckSize) % 2 == 0) ? kLightCheck : kDarkCheck;
}

Pixel Over(Pixel top, Pixel bottom) {
  const auto mix = [a = top.a](std::uint8_t t, std::uint8_t b) {
    return static_cast<std::uint8_t>((t * a + b * (255 - a) + 127) / 255);
  };
  return Pixel{mix(top.b, bottom.b), mix(top.g, bottom.g), mix(top.r, bottom.r), 255};
}

Gallery::Gallery(const GalleryLayout& layout)
    : layout_(layout), image_(layout.width, layout.height, kPageColour) {}

void Gallery::Place(std::int32_t cell, const Image& image, std::string_view label) {
  if (cell < 0 || cell >= layout_.cells || image.width != layout_.imageWidth ||
      image.height != layout_.imageHeight) {
    throw RunError("internal error: an image does not fit the gallery");
  }
  const Point origin = layout_.ImageOrigin(cell);
  const std::int32_t scale = layout_.scale;
  for (std::int32_t y = 0; y < image.height * scale; ++y) {
    for (std::int32_t x = 0; x < image.width * scale; ++x) {
      image_.at(origin.x + x, origin.y + y) =
          Over(image.at(x / scale, y / scale), CheckerColour(x, y));
    }
  }
  DrawLabel(layout_.CellOrigin(cell), label);
}

void Gallery::DrawLabel(Point origin, std::string_view label) {
  std::string text = PrintableAscii(label);
  // The font needs about 270 bytes a character; twice that is ample.
  std::vector<FontVertex> vertices(text.size() * 36 + 4);
  const int quads = stb_easy_font_print(
      static_cast<float>(origin.x), static_cast<float>(origin.y + 1), text.data(), nullptr,
      vertices.data(), static_cast<int>(vertices.size() * sizeof(FontVertex)));
  const std::int32_t right = origin.x + layout_.cellWidth;
  const std::int32_t bottom = origin.y + kLabelHeight;
  for (int q = 0; q < quads; ++q) {
    // Each quad is an axis-aligned rectangle: its first and third corners are opposite.
    const FontVertex& a = vertices[std::size_t(q) * 4];
    const FontVertex& c = vertices[std::size_t(q) * 4 + 2];
    const auto x0 = std::max(static_cast<std::int32_t>(std::lround(std::min(a.x, c.x))), origin.x);
    const auto x1 = std::min(static_cast<std::int32_t>(std::lround(std::max(a.x, c.x))), right);
    const auto y0 = std::max(static_cast<std::int32_t>(std::lround(std::min(a.y, c.y))), origin.y);
    const auto y1 = std::min(static_cast<std::int32_t>(std::lround(std::max(a.y, c.y))), bottom);
    for (std::int32_t y = y0; y < y1; ++y) {
      for (std::int32_t x = x0; x < x1; ++x) image_.at(x, y) = kLabelColour;
    }
  }
}

}  // namespace veilmere::qfhost
