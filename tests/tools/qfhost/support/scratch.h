#pragma once
// A fresh, empty folder for one test, inside this build's tree (QFHOST_SCRATCH_DIR), whatever
// folder the test program is started from. Natively and under Wine alike the path is the
// build's Unix path; Wine reaches it through its drive mapping.

#include <filesystem>
#include <string>

namespace veilmere::qfhost {

inline std::filesystem::path Scratch(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(QFHOST_SCRATCH_DIR) / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace veilmere::qfhost
