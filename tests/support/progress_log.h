#pragma once
// A host progress function that records every call it receives.

#include <cstdint>
#include <vector>

#include "host/host_api.h"

namespace veilmere::test {

struct ProgressCall {
  std::int32_t position;
  std::int32_t maximum;
  void* user;
  bool operator==(const ProgressCall&) const = default;
};

struct ProgressLog {
  std::vector<ProgressCall> calls;

  // The positions received, in order.
  std::vector<std::int32_t> Positions() const {
    std::vector<std::int32_t> out;
    for (const auto& call : calls) out.push_back(call.position);
    return out;
  }
};

// Pass with the log as `user`. Returns 1000 + position, so a test can tell which call's
// result came back.
inline std::int32_t QF_CALL RecordProgress(std::int32_t position, std::int32_t maximum,
                                           void* user) {
  static_cast<ProgressLog*>(user)->calls.push_back({position, maximum, user});
  return 1000 + position;
}

// The positions a run over a rectangle `height` rows high reports, bracket included:
// 0, each distinct i * 100 / height above 0 for i < height, then 100.
inline std::vector<std::int32_t> ExpectedPositions(std::int64_t height) {
  std::vector<std::int32_t> out{0};
  std::int32_t last = 0;
  for (std::int64_t i = 0; i < height; ++i) {
    const auto percent = static_cast<std::int32_t>(i * 100 / height);
    if (percent != last) out.push_back(last = percent);
  }
  out.push_back(100);
  return out;
}

}  // namespace veilmere::test
