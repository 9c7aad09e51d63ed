#include "filters/filter.h"

namespace veilmere {

Filter::Filter(const char* name, const char* category) : name_(name), category_(category) {}

Filter::~Filter() = default;

void Filter::Execute(HostValue, Pixel*, Pixel*, HostValue, const FilterRect*, HostValue,
                     std::int32_t, HostValue, ProgressRecord*) {}

std::int32_t Filter::Setup(HostValue owner, HostValue hostValue3, HostValue hostValue4,
                           HostValue hostValue5) {
  return DoSetup(owner, hostValue3, hostValue4, hostValue5) ? 1 : 0;
}

bool Filter::DoSetup(HostValue, HostValue, HostValue, HostValue) { return true; }

}  // namespace veilmere
