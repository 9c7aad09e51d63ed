#pragma once
// The creation table: every filter the module offers, in the order the host sees them.

#include <span>

#include "plugin/filter_list.h"

namespace veilmere {

std::span<const FilterFactory> CreationTable() noexcept;

}  // namespace veilmere
