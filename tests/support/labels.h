#pragma once
// The labels the host must see, written as UTF-8 text independently of the module's code
// page 932 byte strings (hostkit::Cp932ToUtf8 converts those for comparing).

#include <cstddef>
#include <string>
#include <vector>

namespace veilmere::test {

struct ExpectedLabel {
  std::string english;
  std::string japanese;
  std::size_t cp932Bytes;  // length of "english|japanese" in code page 932, without the NUL
};

inline const ExpectedLabel kCategory{"Transparency", "透明度", 19};

// The filters in the order the host sees them.
inline const std::vector<ExpectedLabel>& ExpectedFilterLabels() {
  static const std::vector<ExpectedLabel> labels = {
      {"Transparentize", "透明化", 21},
      {"Transparentize(Fill with FGC)", "透明化(描画色で塗りつぶす)", 56},
      {"Transparentize(Fill with BGC)", "透明化(背景色で塗りつぶす)", 56},
      {"Transparentize at Brightness", "明るさに応じて透明化", 49},
      {"Transparentize at Darkness", "暗さに応じて透明化", 45},
      {"Transparentize White Pixels", "白を透明化", 38},
      {"Transparentize Black Pixels", "黒を透明化", 38},
      {"Transpparentize FGC Pixels", "描画色を透明化", 41},
      {"Opacify", "不透明化", 16},
      {"Invert Transparency", "透明度反転", 30},
  };
  return labels;
}

}  // namespace veilmere::test
