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
  const std::string ascii = "holiday-photos-2026-export-final-version-0042.png: Opacify";
  const std::string japanese = "夏休みの写真をまとめて書き出した最終版の画像その四十二.png: Opacify";
  for (const auto& [columns, label] : std::vector<std::pair<int, std::string>>{
           {0, ascii}, {200, ascii}, {60, ascii}, {24, ascii}, {60, japanese}, {41, japanese}}) {
    std::ostringstream out;
    ProgressBar bar(out, true, columns);
    bar.Begin(label, 12, 201);
    ProgressBar::Report(100, 100, &bar);
    const std::string line = out.str().substr(1);  // after its '\r'
    const int width = columns > 0 ? columns : 80;
    EXPECT_LE(TextColumns(line), width - 1) << line;
    const bool barShown = width >= 39;  // room for a bar of 10 and a label of 20
    EXPECT_EQ(line.find("] 100%") != std::string::npos, barShown) << line;
    const std::string shown = line.substr(9, line.find(barShown ? " [" : " 100%") - 9);
    const std::size_t cut = shown.find("...");
    const std::string head = shown.substr(0, cut), tail = cut == shown.npos ? "" : shown.substr(cut + 3);
    EXPECT_EQ(line.rfind("[12/201] " + head, 0), 0u) << line;
    EXPECT_TRUE(cut == shown.npos ? shown == label
                                  : label.rfind(head, 0) == 0 && label.size() >= tail.size() &&
                                        label.compare(label.size() - tail.size(), tail.size(), tail) == 0 &&
                                        (static_cast<unsigned char>(label[head.size()]) & 0xC0) != 0x80)
        << line;
  }
  EXPECT_EQ(TextColumns("a写真😀"), 7);
}

}  // namespace
}  // namespace veilmere::qfhost
