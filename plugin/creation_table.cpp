#include "plugin/creation_table.h"

#include <new>

#include "filters/alpha_filters.h"
#include "filters/colour_filters.h"

namespace veilmere {
namespace {

// One allocation per row, from the nothrow operator new, then construction; a filter whose
// storage or labels cannot be had is reported as null (a constructor that throws gives its
// storage back by itself).
template <class T>
Filter* Create() noexcept {
  try {
    return new (std::nothrow) T();
  } catch (...) {
    return nullptr;
  }
}

// Row i is the filter the host knows as index i. The colour filters ask the host for their
// colour as they are created, so the host sees the queries in row order: 1, 3, 1.
constexpr FilterFactory kCreationTable[] = {
    &Create<TransparentizeFilter>,               // 0
    &Create<FillWithDrawingColourFilter>,        // 1
    &Create<FillWithBackgroundColourFilter>,     // 2
    &Create<BrightnessToTransparencyFilter>,     // 3
    &Create<DarknessToTransparencyFilter>,       // 4
    &Create<WhiteToTransparentFilter>,           // 5
    &Create<BlackToTransparentFilter>,           // 6
    &Create<DrawingColourToTransparentFilter>,   // 7
    &Create<OpacifyFilter>,                      // 8
    &Create<InvertTransparencyFilter>,           // 9
};

}  // namespace

std::span<const FilterFactory> CreationTable() noexcept { return kCreationTable; }

}  // namespace veilmere
