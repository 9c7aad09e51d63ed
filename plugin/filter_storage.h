#pragma once
// Where the filter list obtains the storage for each filter object it creates. A separate
// link-time seam so that a test build of the module can refuse storage for a chosen row of
// the creation table and show that the module then refuses to load, leaking nothing.

#include <cstddef>

namespace veilmere {

// Storage of `bytes` bytes for the filter at creation-table row `row`, or null when none can
// be had. The storage must be releasable with ::operator delete: filters are destroyed
// through their virtual destructor, whose deleting form frees them.
void* ObtainFilterStorage(std::size_t bytes, std::size_t row) noexcept;

}  // namespace veilmere
