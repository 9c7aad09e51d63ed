#include "tools/qfhost/progress.h"

#include <algorithm>

namespace veilmere::qfhost {
namespace {

constexpr int kBarWidth = 30;
constexpr std::size_t kLabelWidth = 36;

}  // namespace

void ProgressBar::Begin(std::string label, int step, int steps) {
  if (label.size() > kLabelWidth) label = label.substr(0, kLabelWidth - 3) + "...";
  label_ = steps > 1 ? "[" + std::to_string(step) + "/" + std::to_string(steps) + "] " + label
                     : label;
  shownPercent_ = -1;
  from_ = 0;
  to_ = 100;
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
  if (!enabled_ || drawnWidth_ == 0) return;
  out_ << '\r' << std::string(drawnWidth_, ' ') << '\r' << std::flush;
  drawnWidth_ = 0;
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
  const int filled = percent * kBarWidth / 100;
  std::string line = label_ + " [" + std::string(static_cast<std::size_t>(filled), '#') +
                     std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') + "] ";
  const std::string number = std::to_string(percent);
  line += std::string(3 - number.size(), ' ') + number + "%";
  // A shorter line than the last one leaves none of the old one behind.
  const std::size_t width = line.size();
  if (width < drawnWidth_) line += std::string(drawnWidth_ - width, ' ');
  out_ << '\r' << line << std::flush;
  drawnWidth_ = std::max(width, drawnWidth_);
}

}  // namespace veilmere::qfhost
