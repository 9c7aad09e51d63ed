#pragma once
// Shortcuts over qfhost's PNG code for tests and their tools, which read and write whole
// images: the decoded image alone, a file read and decoded, an image encoded and written
// (whole or not at all).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/qfhost/image.h"
#include "tools/qfhost/platform.h"

namespace veilmere::qfhost {

inline Image DecodePng(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  return std::move(DecodePngFile(bytes, name).image);
}

inline Image ReadPng(const std::string& path) {
  return DecodePng(ReadWholeFile(path, kMaxFileBytes), path);
}

inline void WritePng(const std::string& path, const Image& image) {
  WriteWholeFile(path, EncodePng(image));
}

}  // namespace veilmere::qfhost
