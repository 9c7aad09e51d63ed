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
  EXPECT_EQ(out.str(), "\r[2/10] Transparentize(Fill with FGC) and... [" + std::string(30, ' ') + "]   0%");
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
  EXPECT_EQ(line.size(), std::string("\r[2/10] Transparentize(Fill with FGC) and... [").size() + 30 +
                             std::string("]   0%").size());
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

}  // namespace
}  // namespace veilmere::qfhost
