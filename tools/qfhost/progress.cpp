#include "tools/qfhost/progress.h"

#include <algorithm>
#include <iostream>
#include <utility>
#include <vector>

namespace veilmere::qfhost {
namespace {

constexpr int kWideBar = 30;       // the bar's width on a terminal of 80 columns or more
constexpr int kNarrowestBar = 10;  // below this the bar is left out and the percentage stays
constexpr std::string_view kCut = "...";

// The length of the UTF-8 sequence that starts with `lead` (1 for a byte that starts none, so
// that a file name in another encoding still moves forward).
std::size_t SequenceLength(unsigned char lead) {
  return lead >= 0xF0 && lead < 0xF8 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

std::uint32_t CodePoint(std::string_view text, std::size_t at, std::size_t length) {
  const auto byte = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(text[at + i]));
  };
  switch (length) {
    case 2: return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3: return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    case 4:
      return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 |
             (byte(3) & 0x3F);
    default: return byte(0);
  }
}

// Columns a terminal gives a character: two for the East Asian wide and full-width ranges
// (kana, kanji, hangul, full-width forms, emoji), one for the rest.
int CharacterColumns(std::uint32_t c) {
  const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
                    (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                    (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                    (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
                    (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
  return wide ? 2 : 1;
}

// `text` split into its characters, each with its columns.
struct Character {
  std::string_view bytes;
  int columns;
};
std::vector<Character> Characters(std::string_view text) {
  std::vector<Character> characters;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length =
        std::min(SequenceLength(static_cast<unsigned char>(text[at])), text.size() - at);
    characters.push_back({text.substr(at, length), CharacterColumns(CodePoint(text, at, length))});
    at += length;
  }
  return characters;
}

}  // namespace

int TextColumns(std::string_view text) {
  int columns = 0;
  for (const Character& c : Characters(text)) columns += c.columns;
  return columns;
}

std::string CutInTheMiddle(std::string_view text, int columns) {
  if (TextColumns(text) <= columns) return std::string(text);
  const int room = columns - static_cast<int>(kCut.size());
  if (room <= 0) return std::string(kCut.substr(0, std::size_t(std::max(columns, 0))));
  const std::vector<Character> characters = Characters(text);
  // The end is usually what tells files apart (a number, the extension): it gets the odd column.
  int headRoom = room / 2, tailRoom = room - headRoom;
  std::string head, tail;
  for (const Character& c : characters) {
    if (c.columns > headRoom) break;
    head += c.bytes;
    headRoom -= c.columns;
  }
  for (auto c = characters.rbegin(); c != characters.rend() && c->columns <= tailRoom; ++c) {
    tail.insert(0, c->bytes);
    tailRoom -= c->columns;
  }
  return head + std::string(kCut) + tail;
}

ProgressBar::ProgressBar(std::ostream& out, bool enabled, int columns)
    : out_(out), enabled_(enabled), width_(std::max(columns > 0 ? columns : 80, 8) - 1) {}

ProgressBar::ProgressBar(std::function<void(int percent)> shown)
    : out_(std::cerr), shown_(std::move(shown)), enabled_(true), width_(0) {}  // out_ unused

void ProgressBar::Begin(std::string label, int step, int steps) {
  const std::string prefix =
      steps > 1 ? "[" + std::to_string(step) + "/" + std::to_string(steps) + "] " : "";
  label_ = prefix + CutInTheMiddle(label, width_ - BarColumns() - TextColumns(prefix));
  shownPercent_ = -1;
  from_ = 0;
  to_ = 100;
}

int ProgressBar::BarColumns() const {
  // " [" BAR "] " and "100%" beside the label. The label (a file's name) says more than the
  // bar, so it keeps up to kLabelRoom columns and the bar shrinks first; on a terminal too
  // narrow for a bar of kNarrowestBar beside a label of half that, the percentage stays alone.
  constexpr int kLabelRoom = 40;
  const int bar = std::clamp(width_ - 8 - kLabelRoom, kNarrowestBar, kWideBar);
  return width_ - (bar + 8) >= kLabelRoom / 2 ? bar + 8 : 5;
}

void ProgressBar::Phase(int from, int to) {
  from_ = from;
  to_ = to;
}

void ProgressBar::Rows(std::int64_t done, std::int64_t total) {
  if (!enabled_) return;
  const std::int64_t part = total > 0 ? std::clamp<std::int64_t>(done * 100 / total, 0, 100) : 0;
  const int percent = from_ + static_cast<int>(part) * (to_ - from_) / 100;
  if (percent != shownPercent_) Draw(percent);
}

void ProgressBar::End() {
  if (!enabled_ || shown_ || drawnWidth_ == 0) return;
  out_ << '\r' << std::string(drawnWidth_, ' ') << '\r' << std::flush;
  drawnWidth_ = 0;
}

std::string ProgressBar::RubOut() const {
  return enabled_ && !shown_ ? "\r" + std::string(std::size_t(width_), ' ') + "\r" : std::string();
}

std::int32_t QF_CALL ProgressBar::Report(std::int32_t position, std::int32_t maximum, void* user) {
  auto* bar = static_cast<ProgressBar*>(user);
  const std::int64_t percent =
      maximum > 0 ? std::clamp<std::int64_t>(std::int64_t{position} * 100 / maximum, 0, 100) : 0;

  if (bar != nullptr) bar->Rows(percent, 100);
  return 0;
}

void ProgressBar::Draw(int percent) {
  shownPercent_ = percent;
  if (shown_) return shown_(percent);
  const std::string number = std::to_string(percent);
  std::string line = label_;
  const int bar = BarColumns() - 8;
  if (bar > 0) {
    const int filled = percent * bar / 100;
    line += " [" + std::string(static_cast<std::size_t>(filled), '#') +
            std::string(static_cast<std::size_t>(bar - filled), ' ') + "]";
  }
  line += " " + std::string(3 - number.size(), ' ') + number + "%";
  // A shorter line than the last one leaves none of the old one behind.
  const std::size_t width = static_cast<std::size_t>(TextColumns(line));
  if (width < drawnWidth_) line += std::string(drawnWidth_ - width, ' ');
  out_ << '\r' << line << std::flush;
  drawnWidth_ = std::max(width, drawnWidth_);
}

}  // namespace veilmere::qfhost
