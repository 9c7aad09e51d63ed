// A host may call the module from any thread, and from several at once: the module keeps no
// state of a run outside the call itself and takes no lock. Four threads run every filter
// over images of their own at the same time and must get what a serial run gets.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "filters/filter_table.h"
#include "hostkit/colour_answer.h"
#include "hostkit/loaded_module.h"
#include "tests/support/expected_rules.h"
#include "tests/support/progress_log.h"
#include "tests/support/test_image.h"

namespace veilmere::test {
namespace {

using hostkit::LoadedModule;

constexpr int kThreads = 4;
constexpr int kRounds = 3;  // each thread runs every filter this many times over

// What one worker produces: per filter the destination image, the source after an in-place
// run, the progress positions, and the labels and set-up answer it read.
struct WorkerResult {
  std::vector<std::vector<Pixel>> destinations;
  std::vector<std::vector<Pixel>> inPlace;
  std::vector<std::vector<std::int32_t>> positions;
  std::vector<std::string> names;
  std::vector<std::int32_t> setups;
  bool userPassedThrough = true;  // each progress call carried this worker's own log
  bool roundsAgree = true;        // every later round gave what the first gave

  bool operator==(const WorkerResult&) const = default;
};

WorkerResult RunEveryFilter(const LoadedModule& module, int worker) {
  WorkerResult result;
  const std::int32_t count = module.FilterCount()();
  const FilterRect rect{3, 2, 77, 57};
  TestImage source(80, 60, 83);
  source.FillRandom(100u + static_cast<std::uint32_t>(worker));
  for (int round = 0; round < kRounds; ++round) {
    for (std::int32_t index = 0; index < count; ++index) {
      TestImage destination(80, 60, 83);
      destination.FillRandom(200u + static_cast<std::uint32_t>(worker * count + index));
      ProgressLog log;
      module.Execute()(index, 0, source.data(), destination.data(), 0, &rect, 0, 83, 0,
                       &RecordProgress, &log);
      TestImage copy = source;
      ProgressLog inPlaceLog;
      module.Execute()(index, 0, copy.data(), copy.data(), 0, &rect, 0, 83, 0, &RecordProgress,
                       &inPlaceLog);
      for (const auto& call : log.calls) result.userPassedThrough &= call.user == &log;
      for (const auto& call : inPlaceLog.calls) result.userPassedThrough &= call.user == &inPlaceLog;

      char category[64], name[64];
      module.GetName()(index, category, sizeof category, name, sizeof name);
      if (round == 0) {
        result.destinations.push_back(destination.pixels);
        result.inPlace.push_back(copy.pixels);
        result.positions.push_back(log.Positions());
        result.names.push_back(std::string(category) + "/" + name);
        result.setups.push_back(module.Setup()(index, 0, 0, 0, 0));
      } else if (destination.pixels != result.destinations[std::size_t(index)] ||
                 copy.pixels != result.inPlace[std::size_t(index)] ||
                 log.Positions() != result.positions[std::size_t(index)]) {
        result.roundsAgree = false;
      }
    }
  }
  return result;
}

TEST(Threads, FourThreadsRunningEveryFilterAtOnceGetTheSerialResults) {
  auto module = hostkit::LoadAnswering(VEILMERE_MODULE_PATH, kTestColours, kTestQueryResult);
  ASSERT_NE(module, nullptr) << LoadedModule::LastError();
  ASSERT_EQ(module->FilterCount()(), kFilterCount);

  std::vector<WorkerResult> serial;
  for (int worker = 0; worker < kThreads; ++worker) {
    serial.push_back(RunEveryFilter(*module, worker));
  }

  std::vector<WorkerResult> parallel(kThreads);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int worker = 0; worker < kThreads; ++worker) {
    threads.emplace_back([&, worker] {
      // Start together, so that the runs overlap rather than follow one another.
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      parallel[std::size_t(worker)] = RunEveryFilter(*module, worker);
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (int worker = 0; worker < kThreads; ++worker) {
    const WorkerResult& expected = serial[std::size_t(worker)];
    EXPECT_TRUE(expected.userPassedThrough) << "worker " << worker;
    EXPECT_TRUE(expected.roundsAgree) << "worker " << worker;
    ASSERT_EQ(expected.destinations.size(), std::size_t(kFilterCount));
    EXPECT_TRUE(parallel[std::size_t(worker)] == expected) << "worker " << worker;
  }
  // The workers' images differ, so equal results cannot come from one worker's images.
  EXPECT_NE(serial[0].destinations[0], serial[1].destinations[0]);
}

}  // namespace
}  // namespace veilmere::test
