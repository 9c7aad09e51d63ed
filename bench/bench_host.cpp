#include "bench/bench_host.h"

#include <cstdio>
#include <cstring>
#include <map>

#include "hostkit/colour_answer.h"

namespace veilmere::bench {
namespace {

// Counts the progress calls of one run.
struct ProgressCounter {
  std::int32_t calls = 0;
};

std::int32_t QF_CALL CountProgress(std::int32_t, std::int32_t, void* user) {
  ++static_cast<ProgressCounter*>(user)->calls;
  return 1;
}

// The calls a run over `height` rows makes: 0, each distinct i * 100 / height above 0 for
// i < height, then 100.
std::int32_t ExpectedProgressCalls(std::int64_t height) {
  std::int32_t calls = 2;
  std::int64_t last = 0;
  for (std::int64_t i = 0; i < height; ++i) {
    const std::int64_t percent = i * 100 / height;
    if (percent != last) ++calls, last = percent;
  }
  return calls;
}

// The first 64-byte boundary in `storage`, which holds 16 pixels more than needed.
Pixel* Aligned(std::vector<Pixel>& storage) {
  const auto address = reinterpret_cast<std::uintptr_t>(storage.data());
  const std::size_t skip = ((64 - address % 64) % 64) / sizeof(Pixel);
  return storage.data() + skip;
}

}  // namespace

std::string SizeLabel(ImageSize size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

ImagePair::ImagePair(ImageSize size)
    : size_(size),
      sourceStorage_(static_cast<std::size_t>(pixels()) + 16),
      destinationStorage_(static_cast<std::size_t>(pixels()) + 16),
      source_(Aligned(sourceStorage_)),
      destination_(Aligned(destinationStorage_)) {
  // splitmix64: every byte value in every channel, the same pixels on every run.
  std::uint64_t state = 0x5EED;
  for (std::int64_t i = 0; i < pixels(); ++i) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    z ^= z >> 31;
    std::memcpy(&source_[i], &z, sizeof(Pixel));
  }
}

void CopyImage(ImagePair& images) {
  std::memcpy(images.destination(), images.source(), images.bytes());
}

BenchCase CopyCase(ImagePair& images) {
  return {{"memcpy", images.size(), "-", 0.0}, [&images] {
            CopyImage(images);
            return true;
          }};
}

std::vector<BenchCase> FilterCases(const BenchHost& host, ImagePair& images) {
  std::vector<BenchCase> cases;
  for (std::int32_t index = 0; index < host.FilterCount(); ++index) {
    for (const bool withProgress : {true, false}) {
      cases.push_back({{host.FilterLabel(index), images.size(), withProgress ? "yes" : "no", 0.0},
                       [&host, &images, index, withProgress] {
                         return host.Run(index, images, withProgress);
                       }});
    }
  }
  return cases;
}

std::unique_ptr<BenchHost> BenchHost::Load(const std::string& builtPath, std::string* error) {
  auto module = hostkit::LoadAnswering(builtPath, {kHostDrawingColour, kHostBackgroundColour});
  if (module == nullptr) {
    *error = builtPath + ": " + hostkit::LoadedModule::LastError();
    return nullptr;
  }
  if (const char* missing = module->MissingExport(); missing != nullptr) {
    *error = builtPath + ": the export " + missing + " is missing";
    return nullptr;
  }
  return std::unique_ptr<BenchHost>(new BenchHost(std::move(module)));
}

BenchHost::BenchHost(std::unique_ptr<hostkit::LoadedModule> module)
    : module_(std::move(module)),
      execute_(module_->Execute()),
      getName_(module_->GetName()),
      count_(module_->FilterCount()()) {}

std::string BenchHost::FilterLabel(std::int32_t index) const {
  char category[256] = {};
  char name[256] = {};
  getName_(index, category, sizeof category - 1, name, sizeof name - 1);
  const std::string label = name;
  return std::to_string(index) + " " + label.substr(0, label.find('|'));
}

bool BenchHost::Run(std::int32_t index, ImagePair& images, bool withProgress) const {
  const FilterRect rect{0, 0, images.size().width, images.size().height};
  ProgressCounter counter;
  execute_(index, 0, images.source(), images.destination(), 0, &rect, 0, images.size().width, 0,
           withProgress ? &CountProgress : nullptr, &counter);
  return !withProgress || counter.calls == ExpectedProgressCalls(images.size().height);
}

void PrintSummary(const std::string& title, const std::vector<SummaryRow>& rows) {
  std::map<std::int64_t, double> memcpyRate;  // by pixel count
  for (const SummaryRow& row : rows) {
    if (row.label == "memcpy") {
      memcpyRate[std::int64_t{row.size.width} * row.size.height] = row.megapixelsPerSecond;
    }
  }
  std::printf("\n%s\n", title.c_str());
  std::printf("%-34s %-10s %-8s %8s %10s\n", "filter", "image", "progress", "Mpx/s",
              "x memcpy");
  for (const SummaryRow& row : rows) {
    const auto found = memcpyRate.find(std::int64_t{row.size.width} * row.size.height);
    char ratio[16] = "-";  // no memcpy of this size was measured
    if (found != memcpyRate.end() && found->second > 0) {
      std::snprintf(ratio, sizeof ratio, "%.2f", row.megapixelsPerSecond / found->second);
    }
    std::printf("%-34s %-10s %-8s %8.0f %10s\n", row.label.c_str(), SizeLabel(row.size).c_str(),
                row.progress, row.megapixelsPerSecond, ratio);
  }
  std::fflush(stdout);
}

}  // namespace veilmere::bench
