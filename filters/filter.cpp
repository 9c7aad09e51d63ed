#include "filters/filter.h"

namespace veilmere {

Filter::Filter(const char* name, const char* category) : name_(name), category_(category) {}

Filter::~Filter() = default;

std::int32_t Filter::Setup(HostValue, HostValue, HostValue, HostValue) { return 1; }

}  // namespace veilmere
