#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <streambuf>

#include "hostkit/text.h"
#include "tools/qfhost/errors.h"
#include "tools/qfhost/platform.h"

namespace veilmere::qfhost {
namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

using hostkit::SystemMessage;
using hostkit::WindowsPath;

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Closes a file handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  bool Close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode) != 0;
}

// The length of the longest prefix of `text` that does not end inside a UTF-8 sequence.
std::size_t CompleteUtf8Prefix(const char* text, std::size_t size) {
  std::size_t start = size;
  // Step back over at most three continuation bytes to the last sequence's first byte.
  while (start > 0 && size - start < 4 &&
         (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) {
    --start;
  }
  if (start == 0) return size;
  const auto lead = static_cast<unsigned char>(text[start - 1]);
  const std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return size - (start - 1) >= need ? size : start - 1;
}

// A stream buffer that shows UTF-8 text on a Windows console. A console takes bytes in its
// own code page, so the text goes to it as UTF-16 through WriteConsoleW; a UTF-8 sequence cut
// by the buffer's end waits for the next flush.
class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) { setp(buffer_, buffer_ + sizeof buffer_); }

 protected:
  int_type overflow(int_type c) override {
    if (Flush() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return Flush(); }

 private:
  int Flush() {
    const auto size = static_cast<std::size_t>(pptr() - pbase());
    const std::size_t complete = CompleteUtf8Prefix(pbase(), size);
    const std::wstring wide = hostkit::WideFromUtf8({pbase(), complete});
    DWORD written = 0;
    const bool ok = wide.empty() || WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()),
                                                  &written, nullptr) != 0;
    const std::size_t left = size - complete;
    std::memmove(buffer_, buffer_ + complete, left);
    setp(buffer_, buffer_ + sizeof buffer_);
    pbump(static_cast<int>(left));
    return ok ? 0 : -1;
  }

  HANDLE console_;
  char buffer_[4096];
};

}  // namespace

std::vector<std::string> CommandLineArguments(int, char**) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  if (wide == nullptr) return args;
  for (int i = 1; i < count; ++i) args.push_back(hostkit::Utf8FromWide(wide[i]));
  LocalFree(wide);
  return args;
}

void PrepareConsole() {
  // Files and pipes get the UTF-8 bytes as they are, with no "\r" added before "\n".
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // A console gets them as text. The buffers live until the process ends, after the final
  // flush of std::cout and std::cerr.
  if (const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE); IsConsole(out)) {
    std::cout.rdbuf(new ConsoleBuffer(out));
  }
  if (const HANDLE err = GetStdHandle(STD_ERROR_HANDLE); IsConsole(err)) {
    std::cerr.rdbuf(new ConsoleBuffer(err));
  }
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

bool IsTerminal(std::FILE* stream) {
  // A console has a mode; a file, a pipe and the NUL device (which _isatty calls a
  // character device) have none.
  return IsConsole(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))));
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  const auto fail = [&](const std::string& reason) {
    return RunError("cannot read " + Quoted(path) + ": " + reason);
  };
  const std::wstring file = WindowsPath(path);
  if (IsDirectory(file)) throw fail("is a directory");
  Handle handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) throw fail(SystemMessage(GetLastError()));
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle.get(), &size)) throw fail(SystemMessage(GetLastError()));
  if (size.QuadPart > 0x7FFFFFFF) throw fail("file too large");

  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(handle.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got,
                  nullptr)) {
      throw fail(SystemMessage(GetLastError()));
    }
    if (got == 0) break;  // the file shrank while being read
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const auto fail = [&](const std::string& reason) {
    return RunError("cannot write " + Quoted(path) + ": " + reason);
  };
  const std::wstring target = WindowsPath(path);
  if (IsDirectory(target)) throw fail("is a directory");

  // A name no other file has: CREATE_NEW refuses one that exists, and the next is tried.
  static unsigned counter = 0;
  std::wstring temporary;
  HANDLE created = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = target + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter++);
    created = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    if (created == INVALID_HANDLE_VALUE && error != ERROR_FILE_EXISTS &&
        error != ERROR_ALREADY_EXISTS) {
      throw fail(SystemMessage(error));
    }
  }
  Handle file(created);
  if (!file.valid()) throw fail("no free temporary file name");

  const auto failAndRemove = [&](DWORD error) {
    if (file.valid()) file.Close();
    DeleteFileW(temporary.c_str());
    return fail(SystemMessage(error));
  };
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD wrote = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    if (!WriteFile(file.get(), bytes.data() + done, chunk, &wrote, nullptr)) {
      throw failAndRemove(GetLastError());
    }
    done += wrote;
  }
  if (!FlushFileBuffers(file.get())) throw failAndRemove(GetLastError());
  if (!file.Close()) throw failAndRemove(GetLastError());
  if (!MoveFileExW(temporary.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    throw failAndRemove(GetLastError());
  }
}

}  // namespace veilmere::qfhost
