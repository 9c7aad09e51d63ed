// The progress bar: drawn only when enabled, once per new percentage, rubbed out at the end.

#include "tools/qfhost/progress.h"

#include <gtest/gtest.h>

#include <sstream>

namespace veilmere::qfhost {
namespace {

// A bar that draws into a string, and what it drew since it was last asked.
struct DrawnBar {
  explicit DrawnBar(bool enabled = true) : bar(out, enabled) {}
  std::string Report(std::int32_t position, std::int32_t maximum) {
    ProgressBar::Report(position, maximum, &bar);
    return Take();
  }
  std::string End() {
    bar.End();
    return Take();
  }
  std::string Take() {
    const std::string drawn = out.str();
    out.str("");
    return drawn;
  }
  std::ostringstream out;
  ProgressBar bar;
};

TEST(ProgressBar, DisabledItDrawsNothing) {
  DrawnBar drawn(false);
  drawn.bar.Begin("Opacify", 1, 1);
  for (int p : {0, 50, 100}) EXPECT_EQ(ProgressBar::Report(p, 100, &drawn.bar), 0);
  EXPECT_EQ(drawn.End(), "");
}

TEST(ProgressBar, DrawsEachNewPercentageOnOneLineAndRubsItOut) {
  DrawnBar drawn;
  drawn.bar.Begin("Opacify", 1, 1);
  EXPECT_EQ(drawn.Report(0, 100), "\rOpacify [" + std::string(30, ' ') + "]   0%");
  EXPECT_EQ(drawn.Report(50, 100), "\rOpacify [" + std::string(15, '#') + std::string(15, ' ') + "]  50%");
  EXPECT_EQ(drawn.Report(50, 100), "");  // the same percentage again: nothing new
  EXPECT_EQ(drawn.Report(1, 2), "");
  EXPECT_EQ(drawn.Report(100, 100), "\rOpacify [" + std::string(30, '#') + "] 100%");
  const std::size_t width = std::string("Opacify [") .size() + 30 + std::string("] 100%").size();
  EXPECT_EQ(drawn.End(), "\r" + std::string(width, ' ') + "\r");
  EXPECT_EQ(drawn.End(), "");  // once rubbed out, nothing more
}

TEST(ProgressBar, ShowsTheStepCutsLongLabelsAndClampsOddReports) {
  DrawnBar drawn;
  drawn.bar.Begin("Transparentize(Fill with FGC) and a great deal more", 2, 10);
  // No maximum: 0%. 80 columns (unknown width): 79 drawn, of which "[2/10] " and the bar's 38
  // leave 34.
  const std::string first = drawn.Report(7, 0);
  EXPECT_EQ(first, "\r[2/10] Transparentize(... great deal more [" + std::string(30, ' ') + "]   0%");
  EXPECT_NE(drawn.Report(300, 100).find("] 100%"), std::string::npos);  // beyond the maximum
  EXPECT_NE(drawn.Report(-5, 100).find("]   0%"), std::string::npos);  // below zero

  // A shorter label than the line before leaves none of the old line behind.
  drawn.bar.Begin("Opacify", 3, 10);
  drawn.Take();
  const std::string line = drawn.Report(0, 100);
  EXPECT_EQ(line.rfind("\r[3/10] Opacify [", 0), 0u);
  EXPECT_EQ(line.size(), first.size());
  EXPECT_EQ(ProgressBar::Report(5, 100, nullptr), 0);  // no bar: nothing, and no crash
}

// One bar covers a run's phases: decoding, filtering and encoding each fill their own part.
TEST(ProgressBar, EachPhaseFillsItsOwnPartOfTheBar) {
  DrawnBar drawn;
  drawn.bar.Begin("a.png: Opacify", 2, 5);
  drawn.bar.Phase(0, 40);
  drawn.bar.Rows(1, 2);
  const std::string decoding = drawn.Take();
  EXPECT_NE(decoding.find("[2/5] a.png: Opacify ["), std::string::npos) << decoding;
  EXPECT_NE(decoding.find("]  20%"), std::string::npos) << decoding;
  drawn.bar.Phase(40, 60);
  EXPECT_NE(drawn.Report(50, 100).find("]  50%"), std::string::npos);
  drawn.bar.Phase(60, 100);
  drawn.bar.Rows(3, 3);
  EXPECT_NE(drawn.Take().find("] 100%"), std::string::npos);
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
