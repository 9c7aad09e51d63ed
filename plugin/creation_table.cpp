#include "plugin/creation_table.h"

#include <iterator>
#include <new>

#include "filters/alpha_filters.h"
#include "filters/colour_filters.h"
#include "filters/filter_table.h"

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

// Row i is the filter the host knows as index i, row for row the filter table. The colour
// filters ask the host for their colour as they are created, so the host sees the queries in
// row order.
#define VEILMERE_FACTORY(Class, english, japanese) &Create<Class>,
constexpr FilterFactory kCreationTable[] = {VEILMERE_FILTER_TABLE(VEILMERE_FACTORY)};
#undef VEILMERE_FACTORY
static_assert(std::size(kCreationTable) == kFilterCount);

}  // namespace

std::span<const FilterFactory> CreationTable() noexcept { return kCreationTable; }

}  // namespace veilmere
