#include "plugin/filter_storage.h"

#include <new>

namespace veilmere {

void* ObtainFilterStorage(std::size_t bytes, std::size_t) noexcept {
  return ::operator new(bytes, std::nothrow);
}

}  // namespace veilmere
