#pragma once
// A one-line progress bar on a terminal, fed by a module's progress reports.

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "host/host_api.h"

namespace veilmere::qfhost {

// The columns a terminal gives UTF-8 text: two for each East Asian wide or full-width
// character (kana, kanji, full-width forms, emoji), one for any other.
int TextColumns(std::string_view text);

// `text` when it fits in `columns`, else its start and its end with "..." between them, in
// at most `columns` columns; characters are never split.
std::string CutInTheMiddle(std::string_view text, int columns);

class ProgressBar {
 public:
  // Draws on `out` only when `enabled` (qfhost: stderr is a terminal and --quiet was not
  // given); otherwise every call does nothing. `columns` is the terminal's width (0: unknown,
  // taken as 80); a line never reaches its last column, where a terminal would wrap it.
  ProgressBar(std::ostream& out, bool enabled, int columns = 0);
  // A bar that draws nothing itself but gives each percentage it would show to `shown`: a
  // file's part of a batch's bar (batch.h).
  explicit ProgressBar(std::function<void(int percent)> shown);
  ~ProgressBar() { End(); }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // A new run, named `label`, the `step`th of `steps` (the step is shown when steps > 1).
  // Its bar starts empty and covers the whole run; Phase divides it. A label too long for the
  // line is cut in the middle, keeping the start and end of a file's name.
  void Begin(std::string label, int step, int steps);
  // The reports that follow fill the part of the bar from `from` to `to` percent: a run's
  // phases (decoding, filtering, encoding) each fill their own part.
  void Phase(int from, int to);
  // `done` of `total` of the current phase (rows decoded or encoded).
  void Rows(std::int64_t done, std::int64_t total);
  // Rubs the bar out, leaving the cursor at the start of an empty line.
  void End();
  // What rubs out any line the bar may draw: for text written over it by other means (the
  // line an interrupt prints). Empty when the bar is not drawn.
  std::string RubOut() const;

  // The module's progress function; `user` is the ProgressBar. Draws position / maximum of
  // the current phase as a percentage when it differs from the one shown, and returns 0: qfhost reads nothing from
  // the result QFF_Execute passes back.
  static std::int32_t QF_CALL Report(std::int32_t position, std::int32_t maximum, void* user);

 private:
  void Draw(int percent);
  int BarColumns() const;  // what the line holds beside the label

  std::ostream& out_;
  std::function<void(int)> shown_;  // where the percentage goes instead of out_, when set
  bool enabled_;
  int width_;  // the columns a line may take
  std::string label_;
  int shownPercent_ = -1;
  int from_ = 0;  // the current phase's part of the bar, in percent
  int to_ = 100;
  std::size_t drawnWidth_ = 0;  // characters on the line now, to rub out
};

}  // namespace veilmere::qfhost
