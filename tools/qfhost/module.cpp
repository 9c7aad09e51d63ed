#include "tools/qfhost/module.h"

#include <algorithm>
#include <optional>

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

// A filter name as compared when not written exactly: ASCII letters in lower case, the
// full-width parentheses a Japanese keyboard types (U+FF08, U+FF09) as ASCII ones, and no
// spaces next to a parenthesis, so that "transparentize (fill with fgc)" is
// "Transparentize(Fill with FGC)" and "透明化（描画色で塗りつぶす）" is "透明化(描画色で塗りつぶす)".
std::string NameKey(std::string_view written) {
  std::string name(written);
  for (const auto& [wide, narrow] :
       {std::pair{"\xEF\xBC\x88", "("}, std::pair{"\xEF\xBC\x89", ")"}}) {
    for (std::size_t at; (at = name.find(wide)) != std::string::npos;) name.replace(at, 3, narrow);
  }
  std::string key;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool nextIsParenthesis = i + 1 < name.size() && (name[i + 1] == '(' || name[i + 1] == ')');
    if (c == ' ' && (nextIsParenthesis || (!key.empty() && key.back() == '('))) continue;
    key += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  }
  return key;
}

// UTF-8 text split into its characters (each a byte sequence), so that a Japanese name's
// distance counts characters, not bytes.
std::vector<std::string_view> CodePoints(std::string_view text) {
  std::vector<std::string_view> points;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = 1;
    while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
    points.push_back(text.substr(i, n));
    i += n;
  }
  return points;
}

// Levenshtein distance in characters: the fewest insertions, deletions and substitutions
// that turn one text into the other.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  const auto x = CodePoints(a);
  const auto y = CodePoints(b);
  std::vector<std::size_t> row(y.size() + 1);
  for (std::size_t j = 0; j <= y.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= x.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= y.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[y.size()];
}

// The key of a label's English part, and of its correct spelling where the label has a slip
// users do not type: the module names filter 7 "Transpparentize FGC Pixels", as Quillfen's
// menu shows it, and "Transparentize FGC Pixels" names it too.
std::vector<std::string> EnglishKeys(std::string_view english) {
  std::vector<std::string> keys{NameKey(english)};
  constexpr std::string_view kSlip = "transpparentize";
  if (const std::size_t at = keys[0].find(kSlip); at != std::string::npos) {
    keys.push_back(keys[0]);
    keys[1].replace(at, kSlip.size(), "transparentize");
  }
  return keys;
}

// Text that reads as a number but not as an index 'list' prints: "-1", "+3", "9.0", "1,5".
bool LooksLikeANumber(std::string_view text) {
  bool digit = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c != '-' && c != '+' && c != '.' && c != ',') {
      return false;
    }
  }
  return digit;
}

// The words of `key`, split at spaces and parentheses.
std::vector<std::string> Words(const std::string& key) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : key + " ") {
    if (c == ' ' || c == '(' || c == ')') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return words;
}

}  // namespace

FilterModule::FilterModule(const std::string& path, const hostkit::HostColours& colours) {
  library_ = hostkit::LoadAnswering(path, colours);
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

namespace {

// The filter an index names ("3"), or nullopt where the query is no run of digits. Throws
// RunError for an index past the last filter, and for a number that is no index ("-1", "2.5"):
// those are answered with the indexes, not with names a few characters away.
std::optional<std::int32_t> FindByIndex(const std::vector<FilterEntry>& filters,
                                        std::string_view query) {
  const auto count = static_cast<std::int64_t>(filters.size());
  const std::string offered = count == 0 ? std::string("none")
                                          : std::to_string(count) + ", 0 to " +
                                                std::to_string(count - 1);
  if (IsAsciiDigits(query)) {
    const std::int64_t index = query.size() <= 9 ? std::stoll(std::string(query)) : count;
    if (index < count) return static_cast<std::int32_t>(index);
    throw RunError("there is no filter " + std::string(query) + ": the module offers " + offered);
  }
  if (LooksLikeANumber(query)) {
    throw RunError("there is no filter '" + std::string(query) +
                   "': an index is a whole number, and the module offers " + offered);
  }
  return std::nullopt;
}

// The filter a name names: a whole label or either part of it as written, else the one
// filter whose English or Japanese key (NameKey) is the query's.
const FilterEntry* FindByName(const std::vector<FilterEntry>& filters, std::string_view query) {
  for (const FilterEntry& filter : filters) {
    if (query == filter.name || query == EnglishPart(filter.name) ||
        query == JapanesePart(filter.name)) {
      return &filter;
    }
  }
  const std::string key = NameKey(query);
  const FilterEntry* found = nullptr;
  int matches = 0;
  for (const FilterEntry& filter : filters) {
    std::vector<std::string> keys = EnglishKeys(EnglishPart(filter.name));
    keys.push_back(NameKey(JapanesePart(filter.name)));
    if (!key.empty() && std::find(keys.begin(), keys.end(), key) != keys.end()) {
      found = &filter;
      ++matches;
    }
  }
  return matches == 1 ? found : nullptr;
}

// The names to suggest for an unknown `key`, quoted: those that hold every word written, when
// they are few ("Invert" is part of "Invert Transparency", "反転" of "透明度反転"); else the
// nearest, when one is near enough to be a slip: at most a third of the name's characters
// (and at least 2) to change.
std::vector<std::string> Suggestions(const std::vector<FilterEntry>& filters,
                                     const std::string& key) {
  std::size_t best = std::max<std::size_t>(2, CodePoints(key).size() / 3) + 1;
  std::vector<std::string> nearest;
  std::vector<std::string> holding;
  const std::vector<std::string> words = Words(key);
  for (const FilterEntry& filter : filters) {
    for (const std::string_view name : {EnglishPart(filter.name), JapanesePart(filter.name)}) {
      if (name.empty()) continue;
      const std::string nameKey = NameKey(name);
      const std::size_t distance = EditDistance(key, nameKey);
      if (distance < best) {
        best = distance;
        nearest.clear();
      }
      if (distance == best) nearest.push_back("'" + std::string(name) + "'");
      const auto inName = [&](const std::string& word) {
        return nameKey.find(word) != std::string::npos;
      };
      if (!words.empty() && std::all_of(words.begin(), words.end(), inName)) {
        holding.push_back("'" + std::string(name) + "'");
      }
    }
  }
  return !holding.empty() && holding.size() <= 4 ? holding : nearest;
}

}  // namespace

std::int32_t FindFilter(const std::vector<FilterEntry>& filters, std::string_view query) {
  if (query.empty()) throw RunError("unknown filter '' ('qfhost list MODULE' shows every filter)");
  if (const auto index = FindByIndex(filters, query)) return *index;
  if (const FilterEntry* filter = FindByName(filters, query)) return filter->index;
  const std::vector<std::string> names = Suggestions(filters, NameKey(query));
  std::string message = "unknown filter '" + std::string(query) + "'";
  for (std::size_t i = 0; i < names.size(); ++i) {
    message += (i == 0 ? "; did you mean " : i + 1 == names.size() ? " or " : ", ") + names[i];
  }
  if (!names.empty()) message += "?";
  throw RunError(message + " ('qfhost list MODULE' shows every filter)");
}

}  // namespace veilmere::qfhost
