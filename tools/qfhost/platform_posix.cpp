#include <fcntl.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "tools/qfhost/errors.h"
#include "tools/qfhost/interrupt_state.h"
#include "tools/qfhost/platform.h"

namespace veilmere::qfhost {
namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary files being written and the interrupt report, for the interrupt handler.
TemporaryRegistry<char> g_temporaries;
InterruptReport g_report;

extern "C" void RemoveTemporaryAndEnd(int signal) {
  g_temporaries.TakeEach([](const char* path) { ::unlink(path); });
  if (const char* report = g_report.Get()) {
    for (std::size_t done = 0, size = std::strlen(report); done < size;) {
      const ssize_t wrote = ::write(STDERR_FILENO, report + done, size - done);
      if (wrote <= 0) break;
      done += static_cast<std::size_t>(wrote);
    }
  }
  // Ended by the signal itself, so that the shell sees an interrupted program (130, 143).
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Holds interrupts back while a temporary file is made or renamed and g_temporaries changes,
// so that none comes between the two.
class InterruptsHeld {
 public:
  InterruptsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : kInterrupts) sigaddset(&held, signal);
    ::pthread_sigmask(SIG_BLOCK, &held, &before_);
  }
  ~InterruptsHeld() { ::pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  sigset_t before_;
};

// The temporary file's path for `target`: "TARGET.tmp-XXXXXX" in the target's folder, with the
// target's name cut (never inside a UTF-8 sequence) where the whole would exceed the longest
// name that folder takes, so that wherever the target's name fits, so does this one.
std::string TemporaryPath(const std::string& target) {
  constexpr char kSuffix[] = ".tmp-XXXXXX";
  const std::size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  const long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  const std::size_t room = (longest > 0 ? std::size_t(longest) : 255) - (sizeof kSuffix - 1);
  if (name.size() > room) {
    // A continuation byte just after the cut: back to the start of its sequence.
    std::size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return (slash == std::string::npos ? "" : folder) + name + kSuffix;
}

// A new file beside `target` ("TARGET.tmp-XXXXXX"), removed unless renamed over the target.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) : path_(TemporaryPath(target)) {
    // Registered before it exists, since an interrupt may reach another thread, which this
    // one's held interrupts do not stop: from the moment the file exists its name is there.
    // Never more files at once than the registry holds (apply --jobs is capped at it).
    const InterruptsHeld held;
    const bool registered = g_temporaries.Add(path_.c_str());
    fd_ = ::mkstemp(path_.data());
    made_ = fd_ >= 0;
    if (!made_ && registered) g_temporaries.Remove(path_.c_str());
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!made_) return;
    const InterruptsHeld held;
    ::unlink(path_.c_str());
    g_temporaries.Remove(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int fd() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }
  bool RenameTo(const std::string& target) {
    const InterruptsHeld held;
    if (::rename(path_.c_str(), target.c_str()) != 0) return false;
    g_temporaries.Remove(path_.c_str());
    made_ = false;
    return true;
  }

 private:
  std::string path_;
  int fd_ = -1;
  bool made_ = false;  // the file exists under path_
};

// Why no new file can be made in `folder`, or "" when one can: "NOUN 'X' does not exist;
// make it with mkdir -p 'X'", "NOUN 'X' is a file, not a folder", "cannot create files in
// NOUN 'X': REASON".
std::string FolderProblem(const std::string& folder, const std::string& noun) {
  const std::string named = noun + " " + Quoted(folder);
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0) {
    if (errno == ENOENT) return named + " does not exist; make it with mkdir -p " + Quoted(folder);
    return named + ": " + std::strerror(errno);
  }
  if (!S_ISDIR(info.st_mode)) return named + " is a file, not a folder";
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    return "cannot create files in " + named + ": " + std::strerror(errno);
  }
  return "";
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void PrepareConsole() { ::signal(SIGPIPE, SIG_IGN); }

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

int TerminalColumns(std::FILE* stream) {
  struct winsize size {};
  return ::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::int64_t limit) {
  const auto fail = [&](const std::string& reason) {
    return RunError("cannot read " + Quoted(path) + ": " + reason);
  };
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw fail(std::strerror(errno));
  struct stat info;
  if (::fstat(file.get(), &info) != 0) throw fail(std::strerror(errno));
  if (S_ISDIR(info.st_mode)) throw fail(std::strerror(EISDIR));
  const auto tooLarge = [&] {
    return fail("larger than the " + std::to_string(limit) + " bytes qfhost reads");
  };
  if (S_ISREG(info.st_mode) && info.st_size > limit) throw tooLarge();

  std::vector<std::uint8_t> bytes;
  if (S_ISREG(info.st_mode)) bytes.reserve(static_cast<std::size_t>(info.st_size));
  std::uint8_t chunk[65536];
  for (;;) {
    const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw fail(std::strerror(errno));
    if (got == 0) return bytes;
    if (static_cast<std::int64_t>(bytes.size()) + got > limit) throw tooLarge();
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
}

bool ReadFileStart(const std::string& path, std::size_t count, std::vector<std::uint8_t>* start,
                   std::uint64_t* size) {
  // Not blocking: a FIFO is refused after its open, not waited on.
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info;
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  start->resize(count);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(file.get(), start->data() + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  start->resize(done);
  *size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

std::string CheckOutputPath(const std::string& path) {
  const auto fail = [&](const std::string& reason) {
    return RunError("cannot write " + Quoted(path) + ": " + reason);
  };
  std::string file = path;
  struct stat info;
  if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char* target = ::realpath(path.c_str(), nullptr);
    if (target == nullptr) {
      throw fail(errno == ENOENT ? "it is a symbolic link to nothing"
                                 : std::string(std::strerror(errno)));
    }
    file = target;
    std::free(target);
  }
  if (::stat(file.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) throw fail("it is a folder");
    if (!S_ISREG(info.st_mode)) {
      throw fail("it is a device, FIFO or socket, not a regular file; qfhost replaces only "
                 "regular files");
    }
    if (info.st_nlink > 1) {
      throw fail("it has " + std::to_string(info.st_nlink) +
                 " hard links, which replacing it would part; write to a new file and copy that "
                 "over this one (cp NEW " + Quoted(path) + "), which changes it under every name");
    }
  } else if (errno != ENOENT) {
    throw fail(std::strerror(errno));
  }
  const std::size_t slash = file.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
  if (const std::string problem = FolderProblem(folder, "folder"); !problem.empty()) {
    throw fail(problem);
  }
  return file;
}

void CheckOutputFolder(const std::string& folder) {
  if (const std::string problem = FolderProblem(folder, "output folder"); !problem.empty()) {
    throw RunError(problem);
  }
}

void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    void (*beforeRename)()) {
  const std::string file = CheckOutputPath(path);
  struct stat existing;
  const bool exists = ::stat(file.c_str(), &existing) == 0;

  TemporaryFile temporary(file);
  const auto fail = [&](int error) {
    return RunError("cannot write " + Quoted(path) + ": " + std::strerror(error));
  };
  if (temporary.fd() < 0) throw fail(errno);
  // mkstemp makes the file readable by its owner only. A replaced file keeps its owner where
  // the process may set it (else at least its group) and then its mode (chown clears the
  // set-user-ID bits); a new file gets what any program's new file gets, 0666 less the umask.
  if (exists) {
    if (::fchown(temporary.fd(), existing.st_uid, existing.st_gid) != 0) {
      (void)!::fchown(temporary.fd(), static_cast<uid_t>(-1), existing.st_gid);
    }
    if (::fchmod(temporary.fd(), existing.st_mode & 07777) != 0) throw fail(errno);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(temporary.fd(), 0666 & ~mask) != 0) throw fail(errno);
  }

  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(temporary.fd(), bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) throw fail(errno);
    done += static_cast<std::size_t>(wrote);
  }
  // The data reaches the disk before the name does, so that a crash leaves the old file or
  // the new one, never an empty one.
  if (::fsync(temporary.fd()) != 0) throw fail(errno);
  if (!temporary.Close()) throw fail(errno);
  if (beforeRename != nullptr) beforeRename();
  if (!temporary.RenameTo(file)) throw fail(errno);
}

void InstallInterruptCleanup() {
  for (const int signal : kInterrupts) {
    struct sigaction current {};
    ::sigaction(signal, nullptr, &current);
    if (current.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryAndEnd;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
}

std::string FileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

void SetInterruptReport(const std::string& text) { g_report.Set(text); }

bool IdentityOf(const std::string& path, FileIdentity* identity) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return false;
  *identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  return true;
}

}  // namespace veilmere::qfhost
