#pragma once
// The benchmark's host: loads the built module by path, learns its filters through the
// exports, and runs one filter, or the memcpy that bounds every filter, over a pair of
// images, exactly as the paint program does. Both benchmark programs (Google Benchmark
// natively, the self-timed one under Wine) share it, so they measure the same thing.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "hostkit/loaded_module.h"

namespace veilmere::bench {

// The image sizes measured: one far larger than any cache, one close to the last-level cache.
struct ImageSize {
  std::int32_t width;
  std::int32_t height;
};
inline constexpr ImageSize kImageSizes[] = {{4096, 4096}, {1024, 1024}};

// "4096x4096".
std::string SizeLabel(ImageSize size);

// A source and a separate destination image of width x height pixels with packed rows, as a
// host hands them to QFF_Execute. Both start on a 64-byte boundary, so that every run sees
// the same alignment. The source holds random pixels; the destination has been written once,
// so that no run is timed while the system maps its pages.
class ImagePair {
 public:
  explicit ImagePair(ImageSize size);

  ImageSize size() const { return size_; }
  std::int64_t pixels() const { return std::int64_t{size_.width} * size_.height; }
  std::size_t bytes() const { return static_cast<std::size_t>(pixels()) * sizeof(Pixel); }
  Pixel* source() { return source_; }
  Pixel* destination() { return destination_; }

 private:
  ImageSize size_;
  std::vector<Pixel> sourceStorage_;
  std::vector<Pixel> destinationStorage_;
  Pixel* source_;
  Pixel* destination_;
};

// The baseline: copies the source to the destination with the C library's memcpy.
void CopyImage(ImagePair& images);

// The host colours the benchmark gives the module while it loads.
inline constexpr Pixel kHostDrawingColour{40, 80, 160, 255};
inline constexpr Pixel kHostBackgroundColour{250, 245, 240, 255};

class BenchHost {
 public:
  // Loads the module at `builtPath` (a host path, which the host kit also reaches under Wine).
  // Null, with `error` set, when the loader refuses it or an export is missing.
  static std::unique_ptr<BenchHost> Load(const std::string& builtPath, std::string* error);

  std::int32_t FilterCount() const { return count_; }
  // "3 Transparentize at Brightness": the index and the English part of the filter's label.
  std::string FilterLabel(std::int32_t index) const;

  // Runs filter `index` over the whole of `images` through QFF_Execute, with a progress
  // function that counts its calls when `withProgress`, else without one. False when the
  // module reported progress other than 0, each new percent and 100 (the count a run of
  // that height must make), so a broken run cannot pass for a fast one.
  bool Run(std::int32_t index, ImagePair& images, bool withProgress) const;

 private:
  explicit BenchHost(std::unique_ptr<hostkit::LoadedModule> module);

  std::unique_ptr<hostkit::LoadedModule> module_;
  ExecuteFn execute_;
  GetNameFn getName_;
  std::int32_t count_;
};

// One row of the summary both programs print.
struct SummaryRow {
  std::string label;      // filter label, or "memcpy"
  ImageSize size;
  const char* progress;   // "yes", "no", or "-" for memcpy
  double megapixelsPerSecond;
};

// One measured case of both programs: the summary row it fills, and one run of it, false
// when the module's progress calls were wrong.
struct BenchCase {
  SummaryRow row;
  std::function<bool()> run;
};

// The memcpy of `images`, the bound of every filter on them.
BenchCase CopyCase(ImagePair& images);
// Every filter of `host` over `images`, each with a progress function and without one.
std::vector<BenchCase> FilterCases(const BenchHost& host, ImagePair& images);

// Prints `rows` as a table under `title`, each with its ratio to the memcpy row of its image
// size (memcpy rows come first for each size).
void PrintSummary(const std::string& title, const std::vector<SummaryRow>& rows);

}  // namespace veilmere::bench
