#pragma once
// The base of every filter the module offers: its two labels and the operations the filter
// list calls.

#include <cstdint>
#include <string>

#include "filters/pixel.h"
#include "host/host_api.h"

namespace veilmere {

// Labels are NUL-terminated code page 932 (Shift_JIS) byte strings: English label, "|",
// Japanese label. Every filter of this module is filed under this one category,
// "Transparency|透明度".
inline constexpr char kTransparencyCategory[] = "Transparency|\x93\xA7\x96\xBE\x93\x78";

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
  // 9); `record` carries the progress function. The base filter does nothing.
  virtual void Execute(HostValue hostValue2, Pixel* source, Pixel* destination,
                       HostValue hostValue5, const FilterRect* rect, HostValue hostValue7,
                       std::int32_t rowLength, HostValue hostValue9, ProgressRecord* record);

  // Runs DoSetup and turns its answer into 1 (true) or 0 (false). An error DoSetup raises
  // passes through to the filter list, which shows it.
  virtual std::int32_t Setup(HostValue owner, HostValue hostValue3, HostValue hostValue4,
                             HostValue hostValue5);

 protected:
  // The hook for a filter that needs a set-up dialog owned by `owner`. The base shows
  // nothing and succeeds; no filter of this module overrides it.
  virtual bool DoSetup(HostValue owner, HostValue hostValue3, HostValue hostValue4,
                       HostValue hostValue5);

 private:
  std::string name_;
  std::string category_;
};

}  // namespace veilmere
