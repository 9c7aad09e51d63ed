// The benchmark where Google Benchmark is not at hand (the 32-bit Windows build, run under
// Wine): every filter of the built module through its exported QFF_Execute, on each image
// size, with and without a progress function, and in the same run a memcpy of the same
// bytes, each timed with the steady clock as the median of 9 samples.
//
//   veilmere_timed_bench [module path]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_host.h"

namespace veilmere::bench {
namespace {

constexpr int kSamples = 9;
// A sample repeats the run until it lasts about this long, so that short runs are not lost in
// the clock's resolution and the cost of reading it.
constexpr double kSampleSeconds = 0.02;

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// The median time of one call of `run`, or a negative time when `run` failed.
double MedianSecondsPerRun(const std::function<bool()>& run) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  if (!run()) return -1;  // also the warm-up
  const double once = Seconds(Clock::now() - start);
  const int batch = once >= kSampleSeconds ? 1 : static_cast<int>(kSampleSeconds / once) + 1;

  std::vector<double> samples;
  for (int s = 0; s < kSamples; ++s) {
    const auto begin = Clock::now();
    for (int i = 0; i < batch; ++i)
      if (!run()) return -1;
    samples.push_back(Seconds(Clock::now() - begin) / batch);
  }
  std::nth_element(samples.begin(), samples.begin() + kSamples / 2, samples.end());
  return samples[kSamples / 2];
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

  std::vector<SummaryRow> rows;
  bool failed = false;
  for (const ImageSize size : kImageSizes) {
    ImagePair images(size);
    const auto measure = [&](SummaryRow row, const std::function<bool()>& run) {
      const double seconds = MedianSecondsPerRun(run);
      if (seconds < 0) {
        std::fprintf(stderr, "%s: the module's progress calls are wrong\n", row.label.c_str());
        failed = true;
        return;
      }
      row.megapixelsPerSecond = seconds > 0 ? double(images.pixels()) / seconds / 1e6 : 0.0;
      std::fprintf(stderr, "%-34s %-10s %-4s %8.0f Mpx/s\n", row.label.c_str(),
                   SizeLabel(size).c_str(), row.progress, row.megapixelsPerSecond);
      rows.push_back(row);
    };

    measure({"memcpy", size, "-", 0.0}, [&] {
      CopyImage(images);
      return true;
    });
    for (std::int32_t index = 0; index < host->FilterCount(); ++index) {
      for (const bool withProgress : {true, false}) {
        measure({host->FilterLabel(index), size, withProgress ? "yes" : "no", 0.0},
                [&] { return host->Run(index, images, withProgress); });
      }
    }
  }
  PrintSummary(std::string(sizeof(void*) == 4 ? "32-bit" : "64-bit") + ", " + path +
                   ", median Mpx/s of " + std::to_string(kSamples) + " samples",
               rows);
  return failed ? 1 : 0;
}
