#pragma once
// The labels the host must see, as UTF-8 text, read from the filter table. The module holds
// them in code page 932, as the build wrote them; a test compares the two through
// hostkit::Cp932ToUtf8, a conversion of its own.

#include <string>
#include <vector>

#include "filters/filter_table.h"

namespace veilmere::test {

struct ExpectedLabel {
  std::string english;
  std::string japanese;
  std::string Joined() const { return english + "|" + japanese; }
};

#define VEILMERE_EXPECTED_CATEGORY(name, english, japanese) ExpectedLabel{english, japanese}
inline const ExpectedLabel kCategory = VEILMERE_CATEGORY_LABELS(VEILMERE_EXPECTED_CATEGORY);
#undef VEILMERE_EXPECTED_CATEGORY

#define VEILMERE_EXPECTED_LABEL(Class, english, japanese) ExpectedLabel{english, japanese},

// The filters in the order the host sees them.
inline const std::vector<ExpectedLabel>& ExpectedFilterLabels() {
  static const std::vector<ExpectedLabel> labels = {VEILMERE_FILTER_TABLE(VEILMERE_EXPECTED_LABEL)};
  return labels;
}
#undef VEILMERE_EXPECTED_LABEL

}  // namespace veilmere::test
