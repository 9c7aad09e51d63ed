#pragma once
// Every filter of the filter table, made by its own class in table order, for unit tests of
// the rules. The colour filters ask the host for their colour while they are made: a test
// holds a hostkit::ColourAnswer around the call.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "filters/alpha_filters.h"
#include "filters/colour_filters.h"
#include "filters/filter_table.h"

namespace veilmere::test {

inline std::vector<std::unique_ptr<Filter>> MakeEveryFilter() {
  std::vector<std::unique_ptr<Filter>> filters;
#define VEILMERE_MAKE_FILTER(Class, english, japanese) filters.push_back(std::make_unique<Class>());
  VEILMERE_FILTER_TABLE(VEILMERE_MAKE_FILTER)
#undef VEILMERE_MAKE_FILTER
  return filters;
}

// Runs `filter` in place over one row holding `pixels`, without progress, and returns the
// result.
inline std::vector<Pixel> RunRow(Filter& filter, std::vector<Pixel> pixels) {
  const FilterRect rect{0, 0, static_cast<std::int32_t>(pixels.size()), 1};
  ProgressRecord record{nullptr, nullptr, 0};
  filter.Execute(0, pixels.data(), pixels.data(), 0, &rect, 0,
                 static_cast<std::int32_t>(pixels.size()), 0, &record);
  return pixels;
}

// The English half of a filter's name label.
inline std::string English(const Filter& filter) {
  const std::string name = filter.Name();
  return name.substr(0, name.find('|'));
}

}  // namespace veilmere::test
