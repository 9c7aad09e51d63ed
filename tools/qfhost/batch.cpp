#include "tools/qfhost/batch.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "tools/qfhost/errors.h"
#include "tools/qfhost/platform.h"

namespace veilmere::qfhost {
namespace {

// For each file, the earlier files it waits for: the last earlier one sharing each of its
// names (that one waited in turn for those before it).
std::vector<std::vector<int>> EarlierSharing(const std::vector<std::vector<std::string>>& names,
                                             int files) {
  std::vector<std::vector<int>> waits(static_cast<std::size_t>(files));
  std::map<std::string, int> last;
  for (int i = 0; i < files; ++i) {
    if (std::size_t(i) >= names.size()) break;
    for (const std::string& name : names[std::size_t(i)]) {
      const auto [at, added] = last.emplace(name, i);
      if (!added && at->second != i) waits[std::size_t(i)].push_back(std::exchange(at->second, i));
    }
  }
  return waits;
}

// The state every thread of a batch shares, behind one lock: which file is admitted next,
// what is in flight and the memory it holds, the lines waiting for earlier files' lines, the
// progress bar.
class Batch {
 public:
  Batch(const BatchSteps& steps, int files, std::uint64_t budget, std::ostream& err, ProgressBar& bar)
      : steps_(steps), files_(files), budget_(budget), err_(err), bar_(bar),
        waits_(EarlierSharing(steps.sharedNames, files)), ended_(std::size_t(files), false),
        lines_(std::size_t(files)), percent_(std::size_t(files), 0) {}

  // A worker's loop: takes the next file in order until none is left.
  void Work() {
    for (;;) {
      std::unique_lock<std::mutex> lock(mutex_);
      if (claimed_ == files_) return;
      const int i = claimed_++;
      changed_.wait(lock, [&] { return admitted_ == i && EarlierEnded(i); });
      std::optional<std::uint64_t> need = Admit(i);
      if (!need) {
        ++admitted_;
        End(i, false);
        continue;
      }
      changed_.wait(lock, [&] { return inFlight_.empty() || held_ + *need <= budget_; });
      held_ += *need;
      inFlight_.insert(i);
      ++admitted_;
      Show();
      changed_.notify_all();
      lock.unlock();
      const bool ok = Run(i);
      lock.lock();
      held_ -= *need;
      inFlight_.erase(i);
      End(i, ok);
    }
  }

  BatchCounts counts() const { return counts_; }

 private:
  bool EarlierEnded(int i) const {
    for (const int earlier : waits_[std::size_t(i)]) {
      if (!ended_[std::size_t(earlier)]) return false;
    }
    return true;
  }

  // The checks, under the lock; nothing when the file fails them (its line is kept).
  std::optional<std::uint64_t> Admit(int i) {
    try {
      return steps_.admit(i);
    } catch (...) {
      lines_[std::size_t(i)] = FailureLine(i, std::current_exception());
      return std::nullopt;
    }
  }

  // The work, outside the lock; its lines, and a failure's, are kept for printing in order.
  bool Run(int i) {
    std::ostringstream lines;
    ProgressBar bar([this, i](int percent) { Progress(i, percent); });
    bool ok = true;
    try {
      steps_.work(i, lines, bar);
    } catch (...) {
      lines << FailureLine(i, std::current_exception());
      ok = false;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    lines_[std::size_t(i)] = lines.str();
    return ok;
  }

  std::string FailureLine(int i, const std::exception_ptr& failure) const {
    try {
      std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
      return "qfhost: '" + steps_.input(i) + "': out of memory\n";
    } catch (const std::exception& error) {
      return std::string("qfhost: ") + error.what() + "\n";
    }
  }

  // Under the lock.
  void End(int i, bool ok) {
    ended_[std::size_t(i)] = true;
    ++(ok ? counts_.written : counts_.failed);
    steps_.ended(i, ok);
    PrintInOrder();
    Show();
    changed_.notify_all();
  }

  // Every ended file's lines, from the earliest not yet printed up to the first still
  // going; the bar is rubbed out first, and drawn again by Show.
  void PrintInOrder() {
    bool printed = false;
    for (; printed_ < files_ && ended_[std::size_t(printed_)]; ++printed_) {
      std::string& lines = lines_[std::size_t(printed_)];
      if (lines.empty()) continue;
      if (!printed) bar_.End();
      printed = true;
      err_ << lines << std::flush;
      std::string().swap(lines);
    }
  }

  void Progress(int i, int percent) {
    const std::lock_guard<std::mutex> lock(mutex_);
    percent_[std::size_t(i)] = percent;
    if (!inFlight_.empty() && *inFlight_.begin() == i) bar_.Rows(percent, 100);
  }

  // The bar shows the earliest file in flight, and how many more are; the interrupt report
  // what is done and every output in flight.
  void Show() {
    std::string untouched;
    for (const int i : inFlight_) {
      untouched += (untouched.empty() ? "'" : ", '") + steps_.output(i) + "'";
    }
    const std::string done = std::to_string(counts_.written) + " of " + std::to_string(files_) +
                             " files written, " + std::to_string(counts_.failed) + " failed";
    SetInterruptReport(bar_.RubOut() + "qfhost: interrupted: " + done +
                       (untouched.empty() ? "" : "; " + untouched + " left untouched") + "\n");
    if (inFlight_.empty()) return bar_.End();
    const int first = *inFlight_.begin();
    const std::size_t more = inFlight_.size() - 1;
    bar_.Begin(steps_.label(first) + (more > 0 ? " (+" + std::to_string(more) + ")" : ""),
               first + 1, files_);
    bar_.Rows(percent_[std::size_t(first)], 100);
  }

  const BatchSteps& steps_;
  const int files_;
  const std::uint64_t budget_;
  std::ostream& err_;
  ProgressBar& bar_;
  const std::vector<std::vector<int>> waits_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int claimed_ = 0;   // files taken by a worker
  int admitted_ = 0;  // files checked, and started or failed
  int printed_ = 0;   // files whose lines are printed
  std::uint64_t held_ = 0;  // the memory the files in flight may hold
  std::set<int> inFlight_;
  std::vector<bool> ended_;
  std::vector<std::string> lines_;
  std::vector<int> percent_;
  BatchCounts counts_;
};

}  // namespace

BatchCounts RunBatch(const BatchSteps& steps, int files, int jobs, std::uint64_t memoryBudget,
                     std::ostream& err, ProgressBar& bar) {
  Batch batch(steps, files, memoryBudget, err, bar);
  std::vector<std::thread> workers;
  for (int j = 1; j < std::min(jobs, files); ++j) workers.emplace_back([&] { batch.Work(); });
  batch.Work();  // this thread is a worker too
  for (std::thread& worker : workers) worker.join();
  SetInterruptReport("");
  return batch.counts();
}

}  // namespace veilmere::qfhost
