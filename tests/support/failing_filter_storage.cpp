// Storage for filter objects that fails for one row of the creation table, chosen by the
// environment variable VEILMERE_TEST_FAIL_ROW when the module loads. Linked only into test
// builds of the module, in place of the plain storage.

#include <cstdlib>
#include <new>
#include <string>

#include "plugin/filter_storage.h"

namespace veilmere {

void* ObtainFilterStorage(std::size_t bytes, std::size_t row) noexcept {
  const char* failRow = std::getenv("VEILMERE_TEST_FAIL_ROW");
  if (failRow != nullptr && *failRow != '\0' && std::strtoul(failRow, nullptr, 10) == row) {
    return nullptr;
  }
  return ::operator new(bytes, std::nothrow);
}

}  // namespace veilmere
