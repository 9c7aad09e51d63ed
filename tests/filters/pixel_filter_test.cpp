// The rectangle walk and its progress reports, checked with a filter that records every pixel
// it is handed.

#include "filters/pixel_filter.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <utility>
#include <vector>

#include "filters/alpha_filters.h"
#include "tests/support/progress_log.h"
#include "tests/support/rule_check.h"
#include "tests/support/test_image.h"

#if !defined(_WIN32)
#include <sys/mman.h>
#endif

namespace veilmere {
namespace {

using test::ProgressLog;
using test::RecordProgress;

// Records the (source, destination) addresses of each call and writes a marker.
class RecordingFilter final : public PixelRule<RecordingFilter> {
 public:
  RecordingFilter() : PixelRule("Recording|R", "Test|T") {}
  mutable std::vector<std::pair<const Pixel*, Pixel*>> visits;

  void ProcessPixel(const Pixel* source, Pixel* destination) const final {
    visits.emplace_back(source, destination);
    *destination = Pixel{source->b, source->g, source->r, 0xEE};
  }
};

struct WalkRun {
  RecordingFilter filter;
  ProgressLog log;
  ProgressRecord record{&log, &RecordProgress, 0};

  void Execute(Pixel* source, Pixel* destination, const FilterRect* rect, std::int32_t rowLength) {
    // The host values carry garbage: the walk must not read them.
    filter.Execute(0xDEAD0002u, source, destination, 0xDEAD0005u, rect, 0xDEAD0007u, rowLength,
                   0xDEAD0009u, &record);
  }
};

TEST(PixelFilterWalk, VisitsRowsTopToBottomAndColumnsLeftToRightAtMatchingOffsets) {
  test::TestImage source(10, 6, 13), destination(10, 6, 13);
  source.FillRandom(1);
  const auto before = destination.pixels;
  const FilterRect rect{2, 1, 5, 4};
  WalkRun run;
  run.Execute(source.data(), destination.data(), &rect, source.rowLength);

  std::vector<std::pair<const Pixel*, Pixel*>> expected;
  for (int y = 1; y < 4; ++y)
    for (int x = 2; x < 5; ++x) expected.emplace_back(&source.at(x, y), &destination.at(x, y));
  EXPECT_EQ(run.filter.visits, expected);

  EXPECT_TRUE(test::RectHolds(
      destination, 13, 6, rect,
      [&](auto x, auto y) { return Pixel{source.at(x, y).b, source.at(x, y).g, source.at(x, y).r, 0xEE}; },
      [&](auto x, auto y) { return before[std::size_t(y) * 13 + x]; }));
}

TEST(PixelFilterWalk, NegativeRowLengthWalksABottomUpImage) {
  // The host hands the address of the last stored row and a negative row length: image row
  // y then lives at stored row (height - 1 - y).
  test::TestImage stored(4, 3, 4);
  const FilterRect rect{1, 0, 3, 3};
  WalkRun run;
  Pixel* lastRow = &stored.at(0, 2);
  run.Execute(lastRow, lastRow, &rect, -4);
  std::vector<std::pair<const Pixel*, Pixel*>> expected;
  for (int y = 0; y < 3; ++y)
    for (int x = 1; x < 3; ++x) expected.emplace_back(&stored.at(x, 2 - y), &stored.at(x, 2 - y));
  EXPECT_EQ(run.filter.visits, expected);
}

TEST(PixelFilterWalk, VisitsNothingWithoutPixelsYetReportsEachRowThereIs) {
  // An empty or inverted rectangle, or none, has no rows and reports nothing; rows without
  // columns, or without an image to read or to write, are still reported.
  test::TestImage image(4, 3, 4);
  Pixel* const p = image.data();
  const FilterRect whole{0, 0, 4, 3};
  const std::vector<std::int32_t> none, eachRow{33, 66};
  struct Case {
    Pixel* source;
    Pixel* destination;
    std::optional<FilterRect> rect;
    std::vector<std::int32_t> positions;
  };
  const Case cases[] = {
      {p, p, FilterRect{0, 2, 4, 2}, none},    {p, p, FilterRect{0, 3, 4, 1}, none},
      {p, p, FilterRect{0, INT_MAX, 4, INT_MIN}, none},  {p, p, std::nullopt, none},
      {p, p, FilterRect{2, 0, 2, 3}, eachRow}, {p, p, FilterRect{3, 0, 1, 3}, eachRow},
      {nullptr, p, whole, eachRow},            {p, nullptr, whole, eachRow}};
  for (const Case& c : cases) {
    WalkRun run;
    run.Execute(c.source, c.destination, c.rect ? &*c.rect : nullptr, 4);
    EXPECT_TRUE(run.filter.visits.empty()) << &c - cases;
    EXPECT_EQ(run.log.Positions(), c.positions) << &c - cases;
  }
}

// 1, 2, ... 99: every percent a run of at least 100 rows reports between its 0 and 100.
std::vector<std::int32_t> EveryPercent() {
  std::vector<std::int32_t> percents;
  for (int p = 1; p <= 99; ++p) percents.push_back(p);
  return percents;
}

// Notes how many pixels had been visited at each progress report.
struct Probe {
  RecordingFilter* filter;
  std::vector<std::size_t> visitsAtReport;
};
std::int32_t QF_CALL CountVisitsAtReport(std::int32_t, std::int32_t, void* user) {
  auto* probe = static_cast<Probe*>(user);
  probe->visitsAtReport.push_back(probe->filter->visits.size());
  return 0;
}

TEST(PixelFilterProgress, ReportsEachWholePercentOnceWhenItsFirstRowIsDone) {
  test::TestImage image(1, 200, 1);
  struct Case {
    std::int32_t rows;
    std::vector<std::int32_t> positions;
  };
  for (const Case& c : {Case{1, {}}, Case{2, {50}}, Case{3, {33, 66}}, Case{200, EveryPercent()}}) {
    WalkRun run;
    const FilterRect rect{0, 0, 1, c.rows};
    run.Execute(image.data(), image.data(), &rect, 1);
    EXPECT_EQ(run.log.Positions(), c.positions) << c.rows << " rows";
    for (const auto& call : run.log.calls) {
      EXPECT_EQ(call.maximum, 100);
      EXPECT_EQ(call.user, &run.log);
    }
  }

  // 200 rows: percent p is reported right after row index 2p, not later.
  RecordingFilter filter;
  Probe probe{&filter, {}};
  ProgressRecord record{&probe, &CountVisitsAtReport, 0};
  const FilterRect rect{0, 0, 1, 200};
  filter.Execute(0, image.data(), image.data(), 0, &rect, 0, 1, 0, &record);
  ASSERT_EQ(probe.visitsAtReport.size(), 99u);
  for (std::size_t p = 1; p <= 99; ++p) EXPECT_EQ(probe.visitsAtReport[p - 1], 2 * p + 1);
  EXPECT_EQ(record.lastPercent, 99);
}

TEST(PixelFilterProgress, HeightsBeyondThirtyTwoBitPercentArithmeticStayCorrect) {
  // 30,000,000 rows: i * 100 exceeds INT32_MAX from row 21,474,837 on. The rectangle has no
  // columns, so only the percentages are computed.
  WalkRun run;
  const FilterRect rect{0, 0, 0, 30'000'000};
  run.Execute(nullptr, nullptr, &rect, 0);
  EXPECT_EQ(run.log.Positions(), EveryPercent());
}

TEST(PixelFilterProgress, NullProgressFunctionOrRecordRunsWithoutReports) {
  test::TestImage image(2, 3, 2);
  const FilterRect rect{0, 0, 2, 3};
  RecordingFilter filter;
  ProgressRecord silent{nullptr, nullptr, 0};
  filter.Execute(0, image.data(), image.data(), 0, &rect, 0, 2, 0, &silent);
  EXPECT_EQ(silent.lastPercent, 0);
  filter.Execute(0, image.data(), image.data(), 0, &rect, 0, 2, 0, nullptr);
  EXPECT_EQ(filter.visits.size(), 12u);
}

#if !defined(_WIN32)
TEST(PixelFilterWalk, AddressesPixelsBeyondThirtyTwoBitOffsets) {
  if (sizeof(void*) < 8) GTEST_SKIP() << "a 32-bit process cannot hold such an image";
  // Two rows of the longest row a host can name, 2^31 - 1 pixels: pixel 3 of row 1 lies
  // 2^31 + 2 pixels (8 GiB) in, past any 32-bit pixel or byte offset. The mapping reserves
  // no memory; only the pages touched are ever made.
  constexpr std::int32_t kRowLength = INT32_MAX;
  const std::size_t bytes = std::size_t{2} * kRowLength * sizeof(Pixel);
  void* mapping = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(mapping, MAP_FAILED);
  auto* image = static_cast<Pixel*>(mapping);
  Pixel* farPixel = image + std::size_t{kRowLength} + 3;
  *farPixel = Pixel{1, 2, 3, 4};
  farPixel[1] = Pixel{5, 6, 7, 8};

  OpacifyFilter opacify;
  const FilterRect rect{3, 1, 4, 2};
  opacify.Execute(0, image, image, 0, &rect, 0, kRowLength, 0, nullptr);
  EXPECT_EQ(*farPixel, (Pixel{1, 2, 3, 255}));
  EXPECT_EQ(farPixel[1], (Pixel{5, 6, 7, 8}));
  EXPECT_EQ(image[3], (Pixel{0, 0, 0, 0}));  // row 0 is outside the rectangle
  munmap(mapping, bytes);
}
#endif

}  // namespace
}  // namespace veilmere
