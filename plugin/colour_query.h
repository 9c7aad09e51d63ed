#pragma once
// The module's one way of asking the host for information.

#include <cstdint>

#include "host/host_api.h"

namespace veilmere {

// Finds QFF_QueryClientInfo in the main executable of the running process, calls it once with
// `id` and `answer`, lets go of the executable again and returns what the host returned.
// Returns 0, with `answer` untouched, when the executable offers no such function or cannot
// be reached. Nothing is cached: every call repeats every step.
std::int32_t HostColourQuery(ColourId id, void* answer);

}  // namespace veilmere
