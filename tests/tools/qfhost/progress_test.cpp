// The progress bar: drawn only when enabled, once per new percentage, rubbed out at the end.

#include "tools/qfhost/progress.h"

#include <gtest/gtest.h>

#include <sstream>

namespace veilmere::qfhost {
namespace {

TEST(ProgressBar, DisabledItDrawsNothing) {
  std::ostringstream out;
  {
    ProgressBar bar(out, false);
    bar.Begin("Opacify", 1, 1);
    for (int p : {0, 50, 100}) EXPECT_EQ(ProgressBar::Report(p, 100, &bar), 0);
    bar.End();
  }
  EXPECT_EQ(out.str(), "");
}

TEST(ProgressBar, DrawsEachNewPercentageOnOneLineAndRubsItOut) {
  std::ostringstream out;
  ProgressBar bar(out, true);
  bar.Begin("Opacify", 1, 1);
  ProgressBar::Report(0, 100, &bar);
  EXPECT_EQ(out.str(), "\rOpacify [" + std::string(30, ' ') + "]   0%");
  out.str("");
  ProgressBar::Report(50, 100, &bar);
  EXPECT_EQ(out.str(), "\rOpacify [" + std::string(15, '#') + std::string(15, ' ') + "]  50%");
  out.str("");
  ProgressBar::Report(50, 100, &bar);  // the same percentage again: nothing new
  ProgressBar::Report(1, 2, &bar);
  EXPECT_EQ(out.str(), "");
  ProgressBar::Report(100, 100, &bar);
  EXPECT_EQ(out.str(), "\rOpacify [" + std::string(30, '#') + "] 100%");
  out.str("");
  const std::size_t width = std::string("Opacify [") .size() + 30 + std::string("] 100%").size();
  bar.End();
  EXPECT_EQ(out.str(), "\r" + std::string(width, ' ') + "\r");
  out.str("");
  bar.End();  // once rubbed out, nothing more
  EXPECT_EQ(out.str(), "");
}

TEST(ProgressBar, ShowsTheStepCutsLongLabelsAndClampsOddReports) {
  std::ostringstream out;
  ProgressBar bar(out, true);
  bar.Begin("Transparentize(Fill with FGC) and a great deal more", 2, 10);
  ProgressBar::Report(7, 0, &bar);  // no maximum: 0%
  // 80 columns (unknown width): 79 drawn, of which "[2/10] " and the bar's 38 leave 34.
  const std::string first = out.str();
  EXPECT_EQ(first, "\r[2/10] Transparentize(... great deal more [" + std::string(30, ' ') + "]   0%");
  out.str("");
  ProgressBar::Report(300, 100, &bar);  // beyond the maximum: 100%
  EXPECT_NE(out.str().find("] 100%"), std::string::npos);
  out.str("");
  ProgressBar::Report(-5, 100, &bar);  // below zero: 0%
  EXPECT_NE(out.str().find("]   0%"), std::string::npos);

  // A shorter label than the line before leaves none of the old line behind.
  bar.Begin("Opacify", 3, 10);
  out.str("");
  ProgressBar::Report(0, 100, &bar);
  const std::string line = out.str();
  EXPECT_EQ(line.rfind("\r[3/10] Opacify [", 0), 0u);
  EXPECT_EQ(line.size(), first.size());
  EXPECT_EQ(ProgressBar::Report(5, 100, nullptr), 0);  // no bar: nothing, and no crash
}

// One bar covers a run's phases: decoding, filtering and encoding each fill their own part.
TEST(ProgressBar, EachPhaseFillsItsOwnPartOfTheBar) {
  std::ostringstream out;
  ProgressBar bar(out, true);
  bar.Begin("a.png: Opacify", 2, 5);
  bar.Phase(0, 40);
  bar.Rows(1, 2);
  EXPECT_NE(out.str().find("[2/5] a.png: Opacify ["), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("]  20%"), std::string::npos) << out.str();
  bar.Phase(40, 60);
  ProgressBar::Report(50, 100, &bar);
  EXPECT_NE(out.str().find("]  50%"), std::string::npos) << out.str();
  bar.Phase(60, 100);
  bar.Rows(3, 3);
  EXPECT_NE(out.str().find("] 100%"), std::string::npos) << out.str();
}

// The line fits the terminal whatever its width, so that no update wraps; a long file name
// is cut in the middle, keeping its start and its end, and never inside a character.
TEST(ProgressBar, FitsTheTerminalAndCutsLongNamesInTheMiddle) {
  const std::string longName = "holiday-photos-2026-export-final-version-0042.png: Opacify";
  const std::string japanese = "夏休みの写真をまとめて書き出した最終版の画像その四十二.png: Opacify";
  const struct {
    int columns;
    std::string label;
    bool barShown;
  } cases[] = {
      {0, longName, true},   {200, longName, true}, {80, longName, true},
      {60, longName, true},  {40, longName, true},  {24, longName, false},
      {60, japanese, true},  {33, japanese, true},  {80, "Opacify", true},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    ProgressBar bar(out, true, c.columns);
    bar.Begin(c.label, 12, 201);
    ProgressBar::Report(100, 100, &bar);
    const std::string line = out.str().substr(1);  // after its '\r'
    const int width = c.columns > 0 ? c.columns : 80;
    EXPECT_LE(TextColumns(line), width - 1) << c.columns << ": " << line;
    EXPECT_EQ(line.rfind("[12/201] ", 0), 0u) << line;
    EXPECT_NE(line.find(" 100%"), std::string::npos) << line;
    EXPECT_EQ(line.find("] 100%") != std::string::npos, c.barShown) << c.columns << ": " << line;
    const std::string label = line.substr(0, line.rfind(c.barShown ? " [" : " 100%"));
    if (TextColumns("[12/201] " + c.label) <= TextColumns(label)) {
      EXPECT_EQ(label, "[12/201] " + c.label);
    } else {  // cut: its start and its end are kept
      const std::size_t cut = label.find("...");
      ASSERT_NE(cut, std::string::npos) << label;
      EXPECT_EQ(c.label.rfind(label.substr(9, cut - 9), 0), 0u) << label;
      const std::string end = label.substr(cut + 3);
      EXPECT_EQ(c.label.compare(c.label.size() - end.size(), end.size(), end), 0) << label;
      const auto starts = [](const std::string& text, std::size_t at) {
        return at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
      };
      EXPECT_TRUE(starts(c.label, cut - 9) && starts(c.label, c.label.size() - end.size())) << label;
    }
  }
  EXPECT_EQ(TextColumns("a写真😀"), 7);
}

}  // namespace
}  // namespace veilmere::qfhost
