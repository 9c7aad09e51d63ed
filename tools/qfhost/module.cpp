#include "tools/qfhost/module.h"

#include "hostkit/text.h"
#include "tools/qfhost/errors.h"

namespace veilmere::qfhost {
namespace {

// Labels and the information line are read into buffers this large; the module copies at
// most this many bytes (the strncpy rule), and the byte after them stays a terminator.
constexpr std::uint32_t kTextBuffer = 512;

// More filters than any menu could hold: a count above this is a broken module, and qfhost
// refuses it rather than asking for billions of labels.
constexpr std::int32_t kMaxFilters = 65536;

bool IsAsciiDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

FilterModule::FilterModule(const std::string& path, const hostkit::HostColours& colours) {
  {
    const hostkit::ColourAnswer answer(colours);
    library_ = hostkit::LoadedModule::Load(path);
  }
  if (library_ == nullptr) {
    throw RunError("cannot load module '" + path + "': " + hostkit::LoadedModule::LastError());
  }
  // qfhost shows no settings, but a module without QFF_Setup is not one the paint program
  // would load, so it is refused too.
  if (const char* missing = library_->MissingExport(); missing != nullptr) {
    throw RunError("module '" + path + "' lacks the export " + missing);
  }
}

std::string FilterModule::Info() const {
  char buffer[kTextBuffer + 1] = {};
  library_->GetPluginInfo()(buffer, kTextBuffer);
  return hostkit::Cp932ToUtf8(buffer);
}

std::vector<FilterEntry> FilterModule::Filters() const {
  const std::int32_t count = library_->FilterCount()();
  if (count < 0 || count > kMaxFilters) {
    throw RunError("the module reports " + std::to_string(count) + " filters");
  }
  std::vector<FilterEntry> filters;
  for (std::int32_t index = 0; index < count; ++index) {
    char category[kTextBuffer + 1] = {};
    char name[kTextBuffer + 1] = {};
    library_->GetName()(index, category, kTextBuffer, name, kTextBuffer);
    filters.push_back({index, hostkit::Cp932ToUtf8(category), hostkit::Cp932ToUtf8(name)});
  }
  return filters;
}

std::int32_t FilterModule::Execute(std::int32_t index, Image& source, Image& destination,
                                   const FilterRect& rect, ProgressProc progress,
                                   void* user) const {
  if (destination.width != source.width || destination.height != source.height ||
      rect.left < 0 || rect.top < 0 || rect.left > rect.right || rect.top > rect.bottom ||
      rect.right > source.width || rect.bottom > source.height) {
    // The module would write outside the images; qfhost's own checks come first, so this is
    // a fault in qfhost, stopped before it does harm.
    throw RunError("internal error: rectangle or images do not fit");
  }
  return library_->Execute()(index, 0, source.pixels.data(), destination.pixels.data(), 0, &rect, 0,
                  source.width, 0, progress, user);
}

std::string_view EnglishPart(std::string_view label) { return label.substr(0, label.find('|')); }

std::string_view JapanesePart(std::string_view label) {
  const std::size_t bar = label.find('|');
  return bar == std::string_view::npos ? std::string_view() : label.substr(bar + 1);
}

std::int32_t FindFilter(const std::vector<FilterEntry>& filters, std::string_view query) {
  const auto unknown = [&] {
    return RunError("unknown filter '" + std::string(query) +
                    "' ('qfhost list MODULE' shows every filter)");
  };
  if (query.empty()) throw unknown();
  const auto count = static_cast<std::int64_t>(filters.size());
  if (IsAsciiDigits(query)) {
    const std::int64_t index = query.size() <= 9 ? std::stoll(std::string(query)) : count;
    if (index < count) return static_cast<std::int32_t>(index);
    throw RunError("there is no filter " + std::string(query) + ": the module offers " +
                   (count == 0 ? std::string("none")
                               : std::to_string(count) + ", 0 to " + std::to_string(count - 1)));
  }
  for (const FilterEntry& filter : filters) {
    if (query == filter.name || query == EnglishPart(filter.name) ||
        query == JapanesePart(filter.name)) {
      return filter.index;
    }
  }
  const FilterEntry* found = nullptr;
  int matches = 0;
  for (const FilterEntry& filter : filters) {
    if (EqualIgnoringAsciiCase(query, EnglishPart(filter.name))) {
      found = &filter;
      ++matches;
    }
  }
  if (matches == 1) return found->index;
  throw unknown();
}

}  // namespace veilmere::qfhost
