#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/qfhost/errors.h"
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
  // Closes now, reporting the error close() may bring (a delayed write error).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void PrepareConsole() {}

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  const auto fail = [&](int error) {
    return RunError("cannot read " + Quoted(path) + ": " + std::strerror(error));
  };
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw fail(errno);
  struct stat info;
  if (::fstat(file.get(), &info) != 0) throw fail(errno);
  if (S_ISDIR(info.st_mode)) throw fail(EISDIR);

  std::vector<std::uint8_t> bytes;
  if (S_ISREG(info.st_mode)) bytes.reserve(static_cast<std::size_t>(info.st_size));
  std::uint8_t chunk[65536];
  for (;;) {
    const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw fail(errno);
    if (got == 0) return bytes;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
}

void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::string temporary = path + ".tmp-XXXXXX";
  Descriptor file(::mkstemp(temporary.data()));
  if (file.get() < 0) {
    throw RunError("cannot write " + Quoted(path) + ": " + std::strerror(errno));
  }
  const auto fail = [&](int error) {
    ::unlink(temporary.c_str());
    return RunError("cannot write " + Quoted(path) + ": " + std::strerror(error));
  };
  // mkstemp makes the file readable by its owner only; a new output file gets the permissions
  // any program's new file gets, 0666 less the umask.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(file.get(), 0666 & ~mask) != 0) throw fail(errno);

  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(file.get(), bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) throw fail(errno);
    done += static_cast<std::size_t>(wrote);
  }
  // The data reaches the disk before the name does, so that a crash leaves the old file or
  // the new one, never an empty one.
  if (::fsync(file.get()) != 0) throw fail(errno);
  if (!file.Close()) throw fail(errno);
  if (::rename(temporary.c_str(), path.c_str()) != 0) throw fail(errno);
}

}  // namespace veilmere::qfhost
