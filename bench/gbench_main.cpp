// The native benchmark, on Google Benchmark: every filter of the built module through its
// exported QFF_Execute, on each image size, with and without a progress function, and in the
// same run a memcpy of the same bytes. Google Benchmark's own lines go to stderr as the run
// goes on; the summary with each filter's ratio to memcpy goes to stdout at the end, one
// table per module.
//
//   veilmere_bench [Google Benchmark flags] [module path...]
//
// Several modules (two builds to compare, say) are measured in one run, their cases
// interleaved with one another's and with memcpy; their names then start with "m1/", "m2/".
//
// Defaults: 9 repetitions in random order across all benchmarks (so that a slow spell of a
// shared machine falls on every benchmark alike), medians only, 0.1 s per repetition; flags
// given override them.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_host.h"

namespace veilmere::bench {
namespace {

// What each registered benchmark measures, in the order of registration, with the index of
// its module (-1 for memcpy), and where each name is in that order.
struct Case {
  SummaryRow row;
  int module;
};
std::vector<Case> cases;
std::map<std::string, std::size_t> caseIndex;

void AddCase(const std::string& name, const SummaryRow& row, int module) {
  caseIndex[name] = cases.size();
  cases.push_back({row, module});
}

// Google Benchmark's console lines on stderr, and the run's medians kept for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  SummaryReporter() : ConsoleReporter(OO_Tabular) { SetOutputStream(&std::cerr); }

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      failed_ = failed_ || run.error_occurred;
      if (run.error_occurred || !(median || single)) continue;
      const std::size_t index = caseIndex.at(run.run_name.function_name);
      SummaryRow row = cases[index].row;
      const double seconds =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      const double pixels = double(row.size.width) * row.size.height;
      row.megapixelsPerSecond = seconds > 0 ? pixels / seconds / 1e6 : 0.0;
      measured_[index] = row;
    }
  }

  // The rows measured of memcpy and of module `module`, in the order of registration
  // (random interleaving reports them in any order).
  std::vector<SummaryRow> Measured(int module) const {
    std::vector<SummaryRow> rows;
    for (const auto& [index, row] : measured_)
      if (cases[index].module < 0 || cases[index].module == module) rows.push_back(row);
    return rows;
  }

  // Whether any run stopped with an error.
  bool Failed() const { return failed_; }

 private:
  std::map<std::size_t, SummaryRow> measured_;
  bool failed_ = false;
};

void SetRate(benchmark::State& state, ImageSize size) {
  // Shown by Google Benchmark with an SI prefix: "4.9G/s" is 4,900 Mpx/s.
  state.counters["pixels/s"] = benchmark::Counter(double(size.width) * size.height,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

std::string BenchmarkName(std::string label, ImageSize size, const char* progress) {
  for (char& c : label)
    if (c == ' ') c = '_';
  std::string name = label + "/" + SizeLabel(size);
  if (progress[0] != '-') name += std::string("/progress:") + progress;
  return name;
}

// Registers `c` with Google Benchmark under `name`, as a case of module `module` (-1 for
// memcpy).
void Register(const std::string& name, BenchCase c, int module) {
  AddCase(name, c.row, module);
  benchmark::RegisterBenchmark(name.c_str(),
                               [c = std::move(c)](benchmark::State& state) {
                                 for (auto _ : state) {
                                   if (!c.run()) {
                                     state.SkipWithError("the module's progress calls are wrong");
                                     break;
                                   }
                                   benchmark::ClobberMemory();
                                 }
                                 SetRate(state, c.row.size);
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}

// Google Benchmark's flags, after this program's defaults: it reads them in order, so the
// caller's win. What is left are the module paths (the built module when none is given);
// null after a usage message for any other flag.
std::optional<std::vector<std::string>> ModulePaths(int argc, char** argv) {
  static char repetitions[] = "--benchmark_repetitions=9";
  static char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
  static char minTime[] = "--benchmark_min_time=0.1";
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  std::vector<char*> args{argv[0], repetitions, aggregatesOnly, minTime, interleave};
  args.insert(args.end(), argv + 1, argv + argc);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  for (int i = 1; i < count; ++i) {
    if (args[i][0] == '-') {
      std::fprintf(stderr, "veilmere_bench: unknown flag %s\n", args[i]);
      std::fprintf(stderr, "usage: %s [Google Benchmark flags] [module path...]\n", argv[0]);
      return std::nullopt;
    }
  }
  std::vector<std::string> paths(args.begin() + 1, args.begin() + count);
  if (paths.empty()) paths.push_back(VEILMERE_MODULE_PATH);
  return paths;
}

}  // namespace
}  // namespace veilmere::bench

int main(int argc, char** argv) {
  using namespace veilmere::bench;
  const auto paths = ModulePaths(argc, argv);
  if (!paths) return 2;

  std::vector<std::unique_ptr<BenchHost>> hosts;
  for (const std::string& path : *paths) {
    std::string error;
    hosts.push_back(BenchHost::Load(path, &error));
    if (hosts.back() == nullptr) {
      std::fprintf(stderr, "veilmere_bench: %s\n", error.c_str());
      return 1;
    }
  }
  const auto modulePrefix = [&](int module) {
    return hosts.size() > 1 ? "m" + std::to_string(module + 1) + "/" : std::string();
  };

  std::vector<std::unique_ptr<ImagePair>> images;
  for (const ImageSize size : kImageSizes) {
    ImagePair& pair = *images.emplace_back(std::make_unique<ImagePair>(size));
    Register(BenchmarkName("memcpy", size, "-"), CopyCase(pair), -1);
    for (int module = 0; module < static_cast<int>(hosts.size()); ++module) {
      for (BenchCase& c : FilterCases(*hosts[module], pair)) {
        const std::string name =
            modulePrefix(module) + BenchmarkName(c.row.label, size, c.row.progress);
        Register(name, std::move(c), module);
      }
    }
  }

  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  for (int module = 0; module < static_cast<int>(hosts.size()); ++module) {
    PrintSummary("native, " + modulePrefix(module) + (*paths)[module] + ", median Mpx/s",
                 reporter.Measured(module));
  }
  return reporter.Failed() ? 1 : 0;
}
