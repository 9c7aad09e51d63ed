#include "plugin/filter_registry.h"

#include <new>

#include "filters/alpha_filters.h"
#include "filters/colour_filters.h"
#include "plugin/filter_storage.h"

namespace veilmere {
namespace {

// Storage first, then construction; a filter whose storage or labels cannot be had is
// reported as null, and its storage is given back.
template <class T>
Filter* Create(std::size_t row) noexcept {
  void* storage = ObtainFilterStorage(sizeof(T), row);
  if (storage == nullptr) return nullptr;
  try {
    return ::new (storage) T();
  } catch (...) {
    ::operator delete(storage);
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
