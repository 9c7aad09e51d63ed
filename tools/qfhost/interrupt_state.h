#pragma once
// What an interrupt handler reads while any thread of qfhost may be changing it: the temporary
// files being written, and the text to print. Both platform layers hold one of each. The
// handler only loads lock-free atomic pointers, as a signal handler may.

#include <array>
#include <atomic>
#include <cstddef>
#include <string>

namespace veilmere::qfhost {

// The most files written at once: one for each file in flight (apply --jobs is capped at it).
inline constexpr std::size_t kMaxTemporaries = 64;

// The paths of the temporary files being written, one slot each; the text a path points to
// lives in the writing TemporaryFile, which adds it once the file exists and removes it once
// the file is renamed or deleted.
template <typename Char>
class TemporaryRegistry {
 public:
  // False when every slot is taken (more files than kMaxTemporaries at once).
  bool Add(const Char* path) { return Replace(nullptr, path); }
  // True when `path` was registered, and is no longer.
  bool Remove(const Char* path) { return Replace(path, nullptr); }
  // For the handler: takes every path out and gives each to `remove`.
  template <typename Remove>
  void TakeEach(Remove remove) {
    for (auto& slot : slots_) {
      if (const Char* path = slot.exchange(nullptr)) remove(path);
    }
  }

 private:
  // Puts `to` in the first slot that holds `from`; false when none does.
  bool Replace(const Char* from, const Char* to) {
    for (auto& slot : slots_) {
      const Char* held = from;
      if (slot.compare_exchange_strong(held, to)) return true;
    }
    return false;
  }

  static_assert(std::atomic<const Char*>::is_always_lock_free);
  std::array<std::atomic<const Char*>, kMaxTemporaries> slots_{};
};

// The interrupt report: a ring of buffers, the one published and the ones later reports are
// written into, so that the handler, which may be reading the published text on one thread
// while another sets a new one, never reads text being changed (until kBuffers - 1 more
// reports have come since, far longer than printing one line takes). Set is called by one
// thread at a time.
class InterruptReport {
 public:
  void Set(const std::string& text) {
    next_ = (next_ + 1) % kBuffers;
    buffers_[next_] = text;
    published_.store(text.empty() ? nullptr : buffers_[next_].c_str());
  }
  const char* Get() const { return published_.load(); }

 private:
  static constexpr std::size_t kBuffers = 8;
  std::array<std::string, kBuffers> buffers_;
  std::size_t next_ = 0;
  std::atomic<const char*> published_{nullptr};
};

}  // namespace veilmere::qfhost
