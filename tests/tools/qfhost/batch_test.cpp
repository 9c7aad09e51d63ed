// The batch runner's promises that the command tests cannot see from outside: files in flight
// never hold more memory together than the budget, several are in flight when it allows, a
// file that needs more than all of it runs alone, and a file waits for an earlier one that
// shares a name with it.

#include "tools/qfhost/batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <sstream>
#include <thread>

namespace veilmere::qfhost {
namespace {

struct Observed {
  std::uint64_t mostHeld = 0;
  int mostInFlight = 0;
};

// Runs `needs.size()` files on 4 threads; each holds its need for a few milliseconds.
Observed RunFiles(const std::vector<std::uint64_t>& needs, std::uint64_t budget,
                  std::vector<std::vector<std::string>> names = {}) {
  std::atomic<std::uint64_t> held{0};
  std::atomic<int> inFlight{0};
  Observed seen;
  std::mutex mutex;
  BatchSteps steps;
  steps.sharedNames = std::move(names);
  steps.admit = [&](int i) { return needs[std::size_t(i)]; };
  steps.work = [&](int i, std::ostream&, ProgressBar&) {
    const std::uint64_t now = held += needs[std::size_t(i)];
    const int files = ++inFlight;
    {
      const std::lock_guard<std::mutex> lock(mutex);
      seen.mostHeld = std::max(seen.mostHeld, now);
      seen.mostInFlight = std::max(seen.mostInFlight, files);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    held -= needs[std::size_t(i)];
    --inFlight;
  };
  steps.ended = [](int, bool) {};
  steps.input = steps.label = steps.output = [](int i) { return std::to_string(i); };
  std::ostringstream err;
  ProgressBar bar(err, false);
  const BatchCounts counts = RunBatch(steps, int(needs.size()), 4, budget, err, bar);
  EXPECT_EQ(counts.written, int(needs.size()));
  return seen;
}

TEST(Batch, FilesInFlightStayWithinTheMemoryBudget) {
  const struct {
    std::vector<std::uint64_t> needs;
    std::uint64_t budget;
    std::uint64_t mostHeld;  // at most
    int mostInFlight;        // at most
    int leastOfMost;         // and at least this many at once at some moment
  } cases[] = {
      {{10, 10, 10, 10, 10, 10, 10, 10}, 100, 40, 4, 2},  // the threads are the limit
      {{60, 60, 60, 60}, 100, 60, 1, 1},                  // one at a time fits
      {{10, 200, 10, 10}, 100, 200, 4, 2},                // the large one runs alone
  };
  for (const auto& c : cases) {
    const Observed seen = RunFiles(c.needs, c.budget);
    EXPECT_LE(seen.mostHeld, c.mostHeld) << c.budget;
    EXPECT_LE(seen.mostInFlight, c.mostInFlight) << c.budget;
    EXPECT_GE(seen.mostInFlight, c.leastOfMost) << c.budget;
  }
  // One name shared by every file: one after another, whatever the budget.
  EXPECT_EQ(RunFiles({1, 1, 1, 1}, 100, {{"x"}, {"x"}, {"x"}, {"x"}}).mostInFlight, 1);
}

}  // namespace
}  // namespace veilmere::qfhost
