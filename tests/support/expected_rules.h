#pragma once
// Plain, independent statements of what each filter must make of one source pixel, keyed by
// the filter's English label, for checking the module from outside.

#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>

#include "host/host_api.h"
#include "hostkit/colour_answer.h"
#include "hostkit/loaded_module.h"

namespace veilmere::test {

// The host colours a run of the colour filters depends on (as the host answered them).
using HostColours = hostkit::HostColours;

// What the test hosts answer the colour query with: colours whose every byte differs, and a
// result no code would make up.
inline constexpr HostColours kTestColours{{10, 20, 30, 40}, {200, 150, 100, 50}};
inline constexpr std::int32_t kTestQueryResult = 77;

using ExpectedRule = std::function<Pixel(Pixel source, const HostColours& host)>;

inline int ExpectedLuma(Pixel p) { return (77 * p.r + 150 * p.g + 29 * p.b) / 256; }

inline Pixel WithAlpha(Pixel p, int alpha) {
  p.a = static_cast<std::uint8_t>(alpha);
  return p;
}

// English label -> rule.
inline const std::map<std::string, ExpectedRule>& ExpectedRules() {
  static const std::map<std::string, ExpectedRule> rules = {
      {"Transparentize", [](Pixel s, const HostColours&) { return WithAlpha(s, 0); }},
      {"Transparentize at Brightness",
       [](Pixel s, const HostColours&) { return WithAlpha(s, 255 - ExpectedLuma(s)); }},
      {"Transparentize at Darkness",
       [](Pixel s, const HostColours&) { return WithAlpha(s, ExpectedLuma(s)); }},
      {"Transparentize White Pixels",
       [](Pixel s, const HostColours&) {
         return (s.r == 255 && s.g == 255 && s.b == 255) ? WithAlpha(s, 0) : s;
       }},
      {"Transparentize Black Pixels",
       [](Pixel s, const HostColours&) {
         return (s.r == 0 && s.g == 0 && s.b == 0) ? WithAlpha(s, 0) : s;
       }},
      {"Opacify", [](Pixel s, const HostColours&) { return WithAlpha(s, 255); }},
      {"Invert Transparency", [](Pixel s, const HostColours&) { return WithAlpha(s, 255 - s.a); }},
      {"Transparentize(Fill with FGC)",
       [](Pixel, const HostColours& host) { return WithAlpha(host.drawing, 0); }},
      {"Transparentize(Fill with BGC)",
       [](Pixel, const HostColours& host) { return WithAlpha(host.background, 0); }},
      {"Transpparentize FGC Pixels",
       [](Pixel s, const HostColours& host) {
         const Pixel& c = host.drawing;
         return (s.r == c.r && s.g == c.g && s.b == c.b) ? WithAlpha(s, 0) : s;
       }},
  };
  return rules;
}

// The name label of filter `index` of a loaded module, as it hands it out (code page 932).
inline std::string NameLabel(const hostkit::LoadedModule& module, std::int32_t index) {
  char category[256], name[256];
  module.GetName()(index, category, sizeof category, name, sizeof name);
  return name;
}

// The rule of the filter whose English label, or name label ("English|Japanese"), is
// `label`. A filter without one is a filter added to the table but not here: the error says
// so, and every test that reaches it fails.
inline const ExpectedRule& RuleFor(const std::string& label) {
  const std::string english = label.substr(0, label.find('|'));
  const auto found = ExpectedRules().find(english);
  if (found == ExpectedRules().end())
    throw std::out_of_range("no expected rule for the filter '" + english +
                            "' in tests/support/expected_rules.h");
  return found->second;
}

}  // namespace veilmere::test
