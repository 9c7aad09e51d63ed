#pragma once
// The version the tests expect, from project(VERSION) in CMakeLists.txt, so that a new version
// changes no test: the module shows major.minor, its version resource major, minor, 0, 0, and
// qfhost the whole of it.

#include <cstdint>
#include <string>

namespace veilmere::test {

inline constexpr std::uint32_t kVersionMajor = VEILMERE_TEST_VERSION_MAJOR;
inline constexpr std::uint32_t kVersionMinor = VEILMERE_TEST_VERSION_MINOR;
inline constexpr std::uint32_t kVersionPatch = VEILMERE_TEST_VERSION_PATCH;

// "major.minor"
inline std::string ModuleVersion() {
  return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor);
}

// "major.minor.patch"
inline std::string ProjectVersion() {
  return ModuleVersion() + "." + std::to_string(kVersionPatch);
}

// The module's information line (QF_GetPluginInfo).
inline std::string InfoLine() {
  return "veilmere " + ModuleVersion() + " - Copyright (C) 2026 the veilmere developers";
}

}  // namespace veilmere::test
