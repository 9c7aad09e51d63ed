// The benchmark where Google Benchmark is not at hand (the 32-bit Windows build, run under
// Wine): every filter of the built module through its exported QFF_Execute, on each image
// size, with and without a progress function, and in the same run a memcpy of the same
// bytes. Each is timed with the steady clock as the median of 9 samples; the samples are
// taken in rounds over all cases, so that a slow spell of a shared machine falls on every
// case alike rather than on a few.
//
//   veilmere_timed_bench [module path]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_host.h"

namespace veilmere::bench {
namespace {

constexpr int kSamples = 9;
// A sample repeats the run until it lasts about this long, so that short runs are not lost in
// the clock's resolution and the cost of reading it.
constexpr double kSampleSeconds = 0.02;

using Clock = std::chrono::steady_clock;

struct Case {
  SummaryRow row;
  std::int64_t pixels;
  std::function<bool()> run;  // false when the module's progress calls were wrong
  int batch = 1;
  std::vector<double> secondsPerRun;
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Times `batch` runs of `c`; false when a run failed.
bool Sample(Case& c) {
  const auto begin = Clock::now();
  for (int i = 0; i < c.batch; ++i)
    if (!c.run()) return false;
  c.secondsPerRun.push_back(Seconds(Clock::now() - begin) / c.batch);
  return true;
}

}  // namespace
}  // namespace veilmere::bench

int main(int argc, char** argv) {
  using namespace veilmere::bench;
  if (argc > 2) {
    std::fprintf(stderr, "usage: %s [module path]\n", argv[0]);
    return 2;
  }
  const std::string path = argc == 2 ? argv[1] : VEILMERE_MODULE_PATH;
  std::string error;
  const auto host = BenchHost::Load(path, &error);
  if (host == nullptr) {
    std::fprintf(stderr, "veilmere_timed_bench: %s\n", error.c_str());
    return 1;
  }

  std::vector<std::unique_ptr<ImagePair>> images;
  std::vector<Case> cases;
  for (const ImageSize size : kImageSizes) {
    ImagePair* pair = images.emplace_back(std::make_unique<ImagePair>(size)).get();
    cases.push_back({{"memcpy", size, "-", 0.0}, pair->pixels(), [pair] {
                       CopyImage(*pair);
                       return true;
                     }, 1, {}});
    for (std::int32_t index = 0; index < host->FilterCount(); ++index) {
      for (const bool withProgress : {true, false}) {
        cases.push_back({{host->FilterLabel(index), size, withProgress ? "yes" : "no", 0.0},
                         pair->pixels(),
                         [&host, pair, index, withProgress] {
                           return host->Run(index, *pair, withProgress);
                         }, 1, {}});
      }
    }
  }

  // A warm-up run of each case, which also sets how many runs make one sample.
  for (Case& c : cases) {
    const auto begin = Clock::now();
    if (!c.run()) {
      std::fprintf(stderr, "%s: the module's progress calls are wrong\n", c.row.label.c_str());
      return 1;
    }
    const double once = Seconds(Clock::now() - begin);
    c.batch = once >= kSampleSeconds ? 1 : static_cast<int>(kSampleSeconds / once) + 1;
  }
  for (int round = 0; round < kSamples; ++round) {
    std::fprintf(stderr, "round %d of %d\n", round + 1, kSamples);
    for (Case& c : cases) {
      if (!Sample(c)) {
        std::fprintf(stderr, "%s: the module's progress calls are wrong\n", c.row.label.c_str());
        return 1;
      }
    }
  }

  std::vector<SummaryRow> rows;
  for (Case& c : cases) {
    auto& s = c.secondsPerRun;
    std::nth_element(s.begin(), s.begin() + kSamples / 2, s.end());
    const double median = s[kSamples / 2];
    c.row.megapixelsPerSecond = median > 0 ? double(c.pixels) / median / 1e6 : 0.0;
    rows.push_back(c.row);
  }
  PrintSummary(std::string(sizeof(void*) == 4 ? "32-bit" : "64-bit") + ", " + path +
                   ", median Mpx/s of " + std::to_string(kSamples) + " samples",
               rows);
  return 0;
}
