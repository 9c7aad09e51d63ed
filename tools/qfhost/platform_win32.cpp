#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iostream>
#include <streambuf>

#include "hostkit/text.h"
#include "tools/qfhost/errors.h"
#include "tools/qfhost/interrupt_state.h"
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

// Why no file can be put in `folder` (`shown` as the user wrote it), or "" when it is a
// folder: "NOUN 'X' does not exist; make it with mkdir \"X\"" (which a Windows shell and a
// Unix one both read) or "NOUN 'X' is a file, not a folder".
std::string FolderProblem(const std::wstring& folder, const std::string& shown,
                          const std::string& noun) {
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return noun + " " + Quoted(shown) + " does not exist; make it with mkdir \"" + shown + "\"";
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return noun + " " + Quoted(shown) + " is a file, not a folder";
  }
  return "";
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
  // Takes `handle` in place of the one held, which is closed.
  void Reset(HANDLE handle) {
    if (valid()) CloseHandle(handle_);
    handle_ = handle;
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

// The temporary files being written, for the console event handler, which runs on a thread
// of its own.
TemporaryRegistry<wchar_t> g_temporaries;

// Ctrl+C, Ctrl+Break or the console closing: the temporary file goes (it is open with
// FILE_SHARE_DELETE, so it is removed once the process's handle closes), and the process ends
// with the status a POSIX shell gives a program ended by SIGINT (130) or SIGTERM (143).
InterruptReport g_report;

BOOL WINAPI RemoveTemporaryAndEnd(DWORD event) {
  g_temporaries.TakeEach([](const wchar_t* path) { DeleteFileW(path); });
  if (const char* report = g_report.Get()) {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD wrote = 0;
    if (IsConsole(err)) {
      const std::wstring wide = hostkit::WideFromUtf8(report);
      WriteConsoleW(err, wide.data(), static_cast<DWORD>(wide.size()), &wrote, nullptr);
    } else {
      WriteFile(err, report, static_cast<DWORD>(std::strlen(report)), &wrote, nullptr);
    }
  }
  ExitProcess(event == CTRL_C_EVENT ? 130 : 143);
}

// "TARGET.tmp-SUFFIX" in the target's folder, with the target's name cut (never inside a
// surrogate pair) where the whole would exceed 255, so that wherever the target's name fits,
// so does this one. Windows allows 255 UTF-16 units a name; under Wine the Unix file system
// beneath allows 255 bytes of UTF-8, which is never fewer, so the name is measured in those.
std::wstring TemporaryPath(const std::wstring& target, const std::wstring& suffix) {
  constexpr std::size_t kLongestName = 255;
  const std::size_t slash = target.find_last_of(L"\\:");
  const std::size_t start = slash == std::wstring::npos ? 0 : slash + 1;
  std::wstring path = target;
  while (path.size() > start &&
         hostkit::Utf8FromWide(std::wstring_view(path).substr(start)).size() + suffix.size() >
             kLongestName) {
    path.pop_back();
    if (path.size() > start && path.back() >= 0xD800 && path.back() <= 0xDBFF) path.pop_back();
  }
  return path + suffix;
}

// A new file beside `target`, removed unless renamed over the target. CREATE_NEW refuses a
// name another file has, and the next is tried.
class TemporaryFile : public Handle {
 public:
  explicit TemporaryFile(const std::wstring& target) : Handle(INVALID_HANDLE_VALUE) {
    static std::atomic<unsigned> counter{0};  // files are made on several threads at once
    for (int attempt = 0; attempt < 100 && !valid(); ++attempt) {
      path_ = TemporaryPath(target, L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                        std::to_wstring(counter++));
      // Registered before it exists, so that an interrupt between the two still removes it.
      registered_ = g_temporaries.Add(path_.c_str());
      const HANDLE made = CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      error_ = GetLastError();
      Reset(made);
      if (!valid() && registered_) {
        g_temporaries.Remove(path_.c_str());
        registered_ = false;
      }
      if (!valid() && error_ != ERROR_FILE_EXISTS && error_ != ERROR_ALREADY_EXISTS) break;
    }
    made_ = valid();
  }
  ~TemporaryFile() {
    if (valid()) Close();  // before the file is deleted
    if (made_) {
      if (registered_) g_temporaries.Remove(path_.c_str());
      DeleteFileW(path_.c_str());
    }
  }

  std::string error() const {
    return error_ == ERROR_FILE_EXISTS || error_ == ERROR_ALREADY_EXISTS
               ? std::string("no free temporary file name")
               : SystemMessage(error_);
  }
  bool RenameTo(const std::wstring& target) {
    if (!MoveFileExW(path_.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return false;
    }
    if (registered_) g_temporaries.Remove(path_.c_str());
    made_ = registered_ = false;
    return true;
  }

 private:
  std::wstring path_;
  bool made_ = false;        // the file exists under path_
  bool registered_ = false;  // path_ is in g_temporaries
  DWORD error_ = 0;
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
  // Files and pipes get the UTF-8 bytes as they are, with no "\r" added before "\n", and a
  // PNG file on standard input arrives as it is.
  _setmode(_fileno(stdin), _O_BINARY);
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

int TerminalColumns(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (!IsConsole(handle) || !GetConsoleScreenBufferInfo(handle, &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::int64_t limit) {
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
  if (size.QuadPart > limit) {
    throw fail("larger than the " + std::to_string(limit) + " bytes qfhost reads");
  }

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

bool ReadFileStart(const std::string& path, std::size_t count, std::vector<std::uint8_t>* start,
                   std::uint64_t* size) {
  Handle handle(CreateFileW(WindowsPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER bytes{};
  if (!handle.valid() || GetFileType(handle.get()) != FILE_TYPE_DISK ||
      !GetFileSizeEx(handle.get(), &bytes)) {
    return false;
  }
  start->resize(count);
  DWORD got = 0;
  if (!ReadFile(handle.get(), start->data(), static_cast<DWORD>(count), &got, nullptr)) got = 0;
  start->resize(got);
  *size = static_cast<std::uint64_t>(bytes.QuadPart);
  return true;
}

namespace {

// The file a handle names after every link, in the form GetFinalPathNameByHandleW gives
// ("\\?\C:\folder\name").
std::wstring FinalPath(HANDLE file) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (size == 0) return L"";
    if (size < path.size()) {
      path.resize(size);
      return path;
    }
    path.resize(size);  // the size needed, its terminating null included
  }
}

// CheckOutputPath's checks; the Windows path of the file to replace.
std::wstring OutputTarget(const std::string& path) {
  const auto fail = [&](const std::string& reason) {
    return RunError("cannot write " + Quoted(path) + ": " + reason);
  };
  std::wstring target = WindowsPath(path);
  DWORD attributes = GetFileAttributesW(target.c_str());
  // An existing file is replaced where it lies after every symbolic link, as on POSIX: the
  // link stays and the file it names is replaced. Opening the path follows its links, and
  // GetFinalPathNameByHandleW names the file reached. That finds the links Windows shows as
  // reparse points (whose attributes GetFileAttributesW gives without following them) and
  // those it does not: under Wine, a POSIX link looks like a plain file. A link to nothing
  // is refused.
  bool followed = false;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    Handle linked(CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
    const DWORD error = linked.valid() ? ERROR_SUCCESS : GetLastError();
    if (linked.valid()) {
      if (std::wstring file = FinalPath(linked.get()); !file.empty()) {
        followed = true;
        target = std::move(file);
        attributes = GetFileAttributesW(target.c_str());
      }
    } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      throw fail(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                     ? "it is a symbolic link to nothing"
                     : SystemMessage(error));
    }
  }
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) throw fail("it is a folder");
    Handle existing(CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (existing.valid() && GetFileType(existing.get()) != FILE_TYPE_DISK) {
      throw fail("it is a device, not a regular file; qfhost replaces only regular files");
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (existing.valid() && GetFileInformationByHandle(existing.get(), &info) &&
        info.nNumberOfLinks > 1) {
      throw fail("it has " + std::to_string(info.nNumberOfLinks) +
                 " hard links, which replacing it would part; write to a new file and copy that "
                 "over this one, which changes it under every name");
    }
  }
  const std::size_t slash = target.find_last_of(L"\\:");
  if (slash != std::wstring::npos) {
    const std::wstring folder = target.substr(0, slash + (target[slash] == L':' ? 1 : 0));
    const std::size_t shown = path.find_last_of("/\\");
    if (!folder.empty() && folder.back() != L':') {
      // A followed path starts "\\?\", which says nothing to the user.
      const std::size_t prefix = folder.rfind(L"\\\\?\\", 0) == 0 ? 4 : 0;
      const std::string name = followed ? hostkit::Utf8FromWide(std::wstring_view(folder).substr(prefix))
                               : shown == std::string::npos ? "."
                                                            : path.substr(0, shown);
      const std::string problem = FolderProblem(folder, name, "folder");
      if (!problem.empty()) throw fail(problem);
    }
  }
  return target;
}

}  // namespace

std::string CheckOutputPath(const std::string& path) {
  return hostkit::Utf8FromWide(OutputTarget(path));
}

void CheckOutputFolder(const std::string& folder) {
  const std::wstring wide = WindowsPath(folder);
  if (std::string problem = FolderProblem(wide, folder, "output folder"); !problem.empty()) {
    throw RunError(problem);
  }
  // Windows says whether a folder takes new files only when one is made: a file that is gone
  // once its handle closes.
  const std::wstring probe = wide + (wide.empty() || wide.back() == L'\\' ? L"" : L"\\") +
                             L".qfhost-probe-" + std::to_wstring(GetCurrentProcessId());
  Handle file(CreateFileW(probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file.valid() && GetLastError() != ERROR_FILE_EXISTS) {
    throw RunError("cannot create files in output folder " + Quoted(folder) + ": " +
                   SystemMessage(GetLastError()));
  }
}

void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    void (*beforeRename)()) {
  const std::wstring target = OutputTarget(path);
  const auto fail = [&](const std::string& reason) {
    return RunError("cannot write " + Quoted(path) + ": " + reason);
  };
  TemporaryFile temporary(target);
  if (!temporary.valid()) throw fail(temporary.error());

  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD wrote = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    if (!WriteFile(temporary.get(), bytes.data() + done, chunk, &wrote, nullptr)) {
      throw fail(SystemMessage(GetLastError()));
    }
    done += wrote;
  }
  if (!FlushFileBuffers(temporary.get())) throw fail(SystemMessage(GetLastError()));
  if (!temporary.Close()) throw fail(SystemMessage(GetLastError()));
  if (beforeRename != nullptr) beforeRename();
  if (!temporary.RenameTo(target)) throw fail(SystemMessage(GetLastError()));
}

void InstallInterruptCleanup() { SetConsoleCtrlHandler(RemoveTemporaryAndEnd, TRUE); }

void SetInterruptReport(const std::string& text) { g_report.Set(text); }

std::string FileName(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' || folder.back() == '\\' ? folder + name
                                                                        : folder + "/" + name;
}

bool IdentityOf(const std::string& path, FileIdentity* identity) {
  Handle file(CreateFileW(WindowsPath(path).c_str(), FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.valid() || !GetFileInformationByHandle(file.get(), &info)) return false;
  *identity = {info.dwVolumeSerialNumber,
               (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  return true;
}

}  // namespace veilmere::qfhost
