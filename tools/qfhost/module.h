#pragma once
// A filter module seen as the paint program sees it: loaded by path, its five exports looked
// up by their plain names and called through pointers of their exact prototypes.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_api.h"
#include "hostkit/colour_answer.h"
#include "hostkit/loaded_module.h"
#include "tools/qfhost/image.h"

namespace veilmere::qfhost {

// One filter as `list` shows it: labels converted from code page 932 to UTF-8.
struct FilterEntry {
  std::int32_t index;
  std::string category;  // "English|Japanese"
  std::string name;      // "English|Japanese"
};

class FilterModule {
 public:
  // Loads the module, giving it `colours` as the host's drawing and background colours, which
  // it asks for while it loads. Throws RunError when it does not load or lacks one of the
  // five exports.
  FilterModule(const std::string& path, const hostkit::HostColours& colours);

  // The information line (QF_GetPluginInfo), as UTF-8.
  std::string Info() const;

  // Every filter the module offers, in index order.
  std::vector<FilterEntry> Filters() const;

  // Runs filter `index` over `rect` of `source` into `destination`, both `image`-sized (they
  // may be one image: the module filters in place),
  // reporting to `progress` (may be null). The caller has checked `rect` against the image.
  // Returns QFF_Execute's result.
  std::int32_t Execute(std::int32_t index, Image& source, Image& destination,
                       const FilterRect& rect, ProgressProc progress, void* user) const;

 private:
  std::unique_ptr<hostkit::LoadedModule> library_;
};

// The English part of a label "English|Japanese" (all of it when there is no '|').
std::string_view EnglishPart(std::string_view label);
// The Japanese part (empty when there is no '|').
std::string_view JapanesePart(std::string_view label);

// The index of the filter `query` names: a decimal index below the number of filters, or a
// filter's whole name, English part or Japanese part, compared exactly, or else either part
// compared without regard to ASCII case, to spaces next to parentheses or to full-width
// parentheses, when that fits one filter only ("Transparentize" also fits the module's
// "Transpparentize"). Throws RunError for anything else: for a number, naming the indexes;
// for a name, naming the names that hold every word written when at most four do, else the
// nearest names when one is close.
std::int32_t FindFilter(const std::vector<FilterEntry>& filters, std::string_view query);

}  // namespace veilmere::qfhost
