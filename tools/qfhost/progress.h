#pragma once
// A one-line progress bar on a terminal, fed by a module's progress reports.

#include <cstdint>
#include <ostream>
#include <string>

#include "host/host_api.h"

namespace veilmere::qfhost {

class ProgressBar {
 public:
  // Draws on `out` only when `enabled` (qfhost: stderr is a terminal and --quiet was not
  // given); otherwise every call does nothing.
  ProgressBar(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}
  ~ProgressBar() { End(); }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // A new run, named `label`, the `step`th of `steps` (the step is shown when steps > 1).
  // Its bar starts empty and covers the whole run; Phase divides it.
  void Begin(std::string label, int step, int steps);
  // The reports that follow fill the part of the bar from `from` to `to` percent: a run's
  // phases (decoding, filtering, encoding) each fill their own part.
  void Phase(int from, int to);
  // `done` of `total` of the current phase (rows decoded or encoded).
  void Rows(std::int64_t done, std::int64_t total);
  // Rubs the bar out, leaving the cursor at the start of an empty line.
  void End();

  // The module's progress function; `user` is the ProgressBar. Draws position / maximum of
  // the current phase as a percentage when it differs from the one shown, and returns 0: qfhost reads nothing from
  // the result QFF_Execute passes back.
  static std::int32_t QF_CALL Report(std::int32_t position, std::int32_t maximum, void* user);

 private:
  void Draw(int percent);

  std::ostream& out_;
  bool enabled_;
  std::string label_;
  int shownPercent_ = -1;
  int from_ = 0;  // the current phase's part of the bar, in percent
  int to_ = 100;
  std::size_t drawnWidth_ = 0;  // characters on the line now, to rub out
};

}  // namespace veilmere::qfhost
