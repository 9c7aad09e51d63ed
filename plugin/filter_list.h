#pragma once
// The module's catalogue: an ordered list of filters, built when the module attaches and torn
// down when it unloads. A filter's place in the list is the index by which the host names it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "filters/filter.h"

namespace veilmere {

// Creates one filter, or returns null when its storage or its labels cannot be had. Never
// throws.
using FilterFactory = Filter* (*)() noexcept;

// Shows `text` to the user as a modal notice with the caption "exception", owned by the
// window `owner`, and returns when the user has dismissed it.
using ErrorNotice = void (*)(HostValue owner, const char* text);

class FilterList {
 public:
  // Size of the text buffer an error description is formatted into; longer descriptions are
  // cut to 511 bytes and a NUL.
  static constexpr std::size_t kNoticeBufferSize = 512;

  FilterList(std::span<const FilterFactory> table, ErrorNotice notice) noexcept
      : table_(table), notice_(notice) {}
  ~FilterList();

  FilterList(const FilterList&) = delete;
  FilterList& operator=(const FilterList&) = delete;

  // Empties the list, then creates one filter per table row, in table order. If any row
  // yields no filter, every filter already made is destroyed, the list ends empty and the
  // result is false. Never throws.
  bool Initialize() noexcept;

  // Destroys every filter, in index order, and empties the list; its storage stays allocated.
  void Clear() noexcept;

  std::int32_t Count() const noexcept { return static_cast<std::int32_t>(filters_.size()); }

  // An index is in range when, taken as unsigned, it is below Count(); a negative index is
  // therefore out of range. Out of range gives the empty string.
  const char* Name(std::uint32_t index) const noexcept;
  const char* Category(std::uint32_t index) const noexcept;

  // Runs filter `index` with the eight host values and `record`; out of range does nothing.
  void Execute(std::uint32_t index, HostValue hostValue2, Pixel* source, Pixel* destination,
               HostValue hostValue5, const FilterRect* rect, HostValue hostValue7,
               std::int32_t rowLength, HostValue hostValue9, ProgressRecord* record) const;

  // Runs filter `index`'s set-up and returns its result; 0 when out of range. An error of
  // the std::exception family raised during set-up is shown through the notice and gives 0;
  // other kinds of error pass through.
  std::int32_t Setup(std::uint32_t index, HostValue owner, HostValue hostValue3,
                     HostValue hostValue4, HostValue hostValue5) const;

 private:
  bool InRange(std::uint32_t index) const noexcept { return index < filters_.size(); }

  std::span<const FilterFactory> table_;
  ErrorNotice notice_;
  std::vector<Filter*> filters_;
};

}  // namespace veilmere
