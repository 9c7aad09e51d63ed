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
#include <memory>
#include <string>
#include <utility>
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
  explicit Case(BenchCase c) : bench(std::move(c)) {}
  BenchCase bench;
  int batch = 1;
  std::vector<double> secondsPerRun;
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The cases in the order they are measured: for each image size the memcpy, then every
// filter of `host`. `images` keeps the images they run on.
std::vector<Case> MakeCases(const BenchHost& host, std::vector<std::unique_ptr<ImagePair>>& images) {
  std::vector<Case> cases;
  for (const ImageSize size : kImageSizes) {
    ImagePair& pair = *images.emplace_back(std::make_unique<ImagePair>(size));
    cases.emplace_back(CopyCase(pair));
    for (BenchCase& c : FilterCases(host, pair)) cases.emplace_back(std::move(c));
  }
  return cases;
}

bool Failed(const Case& c) {
  std::fprintf(stderr, "%s: the module's progress calls are wrong\n", c.bench.row.label.c_str());
  return false;
}

// A warm-up run of `c`, which also sets how many runs make one sample; false when it failed.
bool WarmUp(Case& c) {
  const auto begin = Clock::now();
  if (!c.bench.run()) return Failed(c);
  const double once = Seconds(Clock::now() - begin);
  c.batch = once >= kSampleSeconds ? 1 : static_cast<int>(kSampleSeconds / once) + 1;
  return true;
}

// Times `batch` runs of `c`; false when a run failed.
bool Sample(Case& c) {
  const auto begin = Clock::now();
  for (int i = 0; i < c.batch; ++i)
    if (!c.bench.run()) return Failed(c);
  c.secondsPerRun.push_back(Seconds(Clock::now() - begin) / c.batch);
  return true;
}

// Every case warmed up, then sampled kSamples times in rounds over all of them; false, having
// said why, when a run failed.
bool Measure(std::vector<Case>& cases) {
  for (Case& c : cases)
    if (!WarmUp(c)) return false;
  for (int round = 0; round < kSamples; ++round) {
    std::fprintf(stderr, "round %d of %d\n", round + 1, kSamples);
    for (Case& c : cases)
      if (!Sample(c)) return false;
  }
  return true;
}

// Each case's row with the rate of its median sample.
std::vector<SummaryRow> Medians(std::vector<Case>& cases) {
  std::vector<SummaryRow> rows;
  for (Case& c : cases) {
    auto& s = c.secondsPerRun;
    std::nth_element(s.begin(), s.begin() + kSamples / 2, s.end());
    const double median = s[kSamples / 2];
    SummaryRow row = c.bench.row;
    const double pixels = double(row.size.width) * row.size.height;
    row.megapixelsPerSecond = median > 0 ? pixels / median / 1e6 : 0.0;
    rows.push_back(row);
  }
  return rows;
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
  std::vector<Case> cases = MakeCases(*host, images);
  if (!Measure(cases)) return 1;
  PrintSummary(std::string(sizeof(void*) == 4 ? "32-bit" : "64-bit") + ", " + path +
                   ", median Mpx/s of " + std::to_string(kSamples) + " samples",
               Medians(cases));
  return 0;
}
