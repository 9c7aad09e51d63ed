#pragma once
// Runs the files of a batch on several threads so that what the user sees is what running
// them one after another shows: each file's lines, and its failure, are printed in the
// files' order, each file's checks are made in that order, and a file that reads or writes
// what an earlier one does waits for it to end.

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/qfhost/progress.h"

namespace veilmere::qfhost {

// What a batch does with its files, each named by its position.
struct BatchSteps {
  // The names of what file i reads and writes (file identities, output names): a file starts
  // only once every earlier file that shares a name with it has ended.
  std::vector<std::vector<std::string>> sharedNames;
  // In the files' order, one at a time, once the files it shares a name with have ended:
  // checks file i and returns the most memory its work may hold. Throws RunError (or
  // std::bad_alloc) to fail the file without working on it.
  std::function<std::uint64_t(int i)> admit;
  // On a worker thread, several at once: the work, writing its lines to `err` and its
  // progress to `bar`. Throws to fail the file, as admit does.
  std::function<void(int i, std::ostream& err, ProgressBar& bar)> work;
  // One at a time, as file i ends, before any later file is admitted that waits for it;
  // `ok` when its work ended without failing.
  std::function<void(int i, bool ok)> ended;
  // File i's name, for a failure whose message does not name it (out of memory).
  std::function<std::string(int i)> input;
  // The progress bar's label while file i is the earliest in flight.
  std::function<std::string(int i)> label;
  // What an interrupt leaves untouched while file i is in flight: its output.
  std::function<std::string(int i)> output;
};

struct BatchCounts {
  int written = 0;
  int failed = 0;
};

// Runs every file on `jobs` threads (at least 1), holding the files in flight to
// `memoryBudget` bytes together (a file that needs more than what is free waits until it
// fits; one needing more than the whole budget runs alone). Prints each file's lines and a
// failure's "qfhost: WHAT" line to `err` in the files' order, draws `bar` and keeps the
// interrupt report (platform.h) saying what is done and what is left untouched. Returns the
// counts.
BatchCounts RunBatch(const BatchSteps& steps, int files, int jobs, std::uint64_t memoryBudget,
                     std::ostream& err, ProgressBar& bar);

}  // namespace veilmere::qfhost
