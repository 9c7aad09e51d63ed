#pragma once
// The base of every filter the module offers: its two labels and the operations the filter
// list calls.

#include <cstdint>
#include <string>

#include "filters/filter_labels.h"
#include "filters/pixel.h"
#include "host/host_api.h"

namespace veilmere {

// Lives on QFF_Execute's stack for one run. `lastPercent` is the last percentage passed to
// `progress`; it starts at 0 because QFF_Execute reports 0 itself before the run.
struct ProgressRecord {
  void* user;
  ProgressProc progress;  // may be null: then nothing is reported
  std::int32_t lastPercent;
};
static_assert(sizeof(void*) != 4 || sizeof(ProgressRecord) == 12,
              "three 32-bit fields on a 32-bit target");

// Labels are NUL-terminated code page 932 (Shift_JIS) byte strings: English label, "|",
// Japanese label. Each filter's are FilterLabels<Class>::kName, and every filter is filed
// under kTransparencyCategory, "Transparency|透明度" (filters/filter_table.h).
class Filter {
 public:
  // Copies both labels; throws std::bad_alloc when the copies cannot be stored.
  Filter(const char* name, const char* category);
  virtual ~Filter();

  Filter(const Filter&) = delete;
  Filter& operator=(const Filter&) = delete;

  const char* Name() const noexcept { return name_.c_str(); }
  const char* Category() const noexcept { return category_.c_str(); }

  // Runs the filter. The eight host values arrive in QFF_Execute's order (its positions 2 to
  // 9); `record` carries the progress function.
  virtual void Execute(HostValue hostValue2, Pixel* source, Pixel* destination,
                       HostValue hostValue5, const FilterRect* rect, HostValue hostValue7,
                       std::int32_t rowLength, HostValue hostValue9, ProgressRecord* record) = 0;

  // The filter's set-up, for a dialog owned by `owner`: 1 when the user confirmed it, 0 when
  // not. No filter of this module has one, so each confirms at once; an error a set-up raises
  // passes through to the filter list, which shows it.
  virtual std::int32_t Setup(HostValue owner, HostValue hostValue3, HostValue hostValue4,
                             HostValue hostValue5);

 private:
  std::string name_;
  std::string category_;
};

}  // namespace veilmere
