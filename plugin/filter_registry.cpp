#include "plugin/filter_registry.h"

#include <new>

#include "filters/alpha_filters.h"
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

// Row i is the filter the host knows as index i.
constexpr FilterFactory kCreationTable[] = {
    &Create<TransparentizeFilter>,
    &Create<BrightnessToTransparencyFilter>,
    &Create<DarknessToTransparencyFilter>,
    &Create<WhiteToTransparentFilter>,
    &Create<BlackToTransparentFilter>,
    &Create<OpacifyFilter>,
    &Create<InvertTransparencyFilter>,
};

}  // namespace

std::span<const FilterFactory> CreationTable() noexcept { return kCreationTable; }

}  // namespace veilmere
