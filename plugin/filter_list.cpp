#include "plugin/filter_list.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace veilmere {

FilterList::~FilterList() { Clear(); }

bool FilterList::Initialize() noexcept {
  Clear();
  try {
    filters_.reserve(table_.size());
  } catch (...) {
    return false;  // no storage for the list itself: nothing was created
  }
  // Every row is tried even after a failure, so that each row's storage is asked for exactly
  // once per load; the failed list is then torn down as a whole.
  for (const FilterFactory create : table_) filters_.push_back(create());
  if (std::find(filters_.begin(), filters_.end(), nullptr) != filters_.end()) {
    Clear();
    return false;
  }
  return true;
}

void FilterList::Clear() noexcept {
  for (Filter* filter : filters_) delete filter;
  filters_.clear();
}

const char* FilterList::Name(std::uint32_t index) const noexcept {
  return InRange(index) ? filters_[index]->Name() : "";
}

const char* FilterList::Category(std::uint32_t index) const noexcept {
  return InRange(index) ? filters_[index]->Category() : "";
}

void FilterList::Execute(std::uint32_t index, HostValue hostValue2, Pixel* source,
                         Pixel* destination, HostValue hostValue5, const FilterRect* rect,
                         HostValue hostValue7, std::int32_t rowLength, HostValue hostValue9,
                         ProgressRecord* record) const {
  if (!InRange(index)) return;
  filters_[index]->Execute(hostValue2, source, destination, hostValue5, rect, hostValue7,
                           rowLength, hostValue9, record);
}

std::int32_t FilterList::Setup(std::uint32_t index, HostValue owner, HostValue hostValue3,
                               HostValue hostValue4, HostValue hostValue5) const {
  if (!InRange(index)) return 0;
  try {
    return filters_[index]->Setup(owner, hostValue3, hostValue4, hostValue5);
  } catch (const std::exception& error) {
    // snprintf cuts a description that does not fit and always terminates the text.
    char text[kNoticeBufferSize];
    const char* description = error.what();
    std::snprintf(text, sizeof text, "%s", description != nullptr ? description : "");
    notice_(owner, text);
    return 0;
  }
}

}  // namespace veilmere
