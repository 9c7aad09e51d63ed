#pragma once
// Everything qfhost does differently on Windows (where it runs as qfhost.exe, under Wine on
// this project's machines) and on Linux. File names are UTF-8 throughout; on Windows a name
// that starts with '/' is taken as a Unix path when the program runs under Wine, which is how
// a Unix shell hands paths to qfhost.exe (hostkit/text.h). Loading a module is the host kit's
// (hostkit/loaded_module.h).

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace veilmere::qfhost {

// The command-line arguments after the program name, as UTF-8. On Windows they are read from
// the process's UTF-16 command line; elsewhere they are argv as given.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Makes std::cout and std::cerr carry UTF-8 text. On Windows files and pipes then get the
// bytes unchanged (binary mode), a console gets the text through its UTF-16 interface, and the
// system shows no dialog when a module fails to load. On POSIX a write to a pipe whose reader
// has gone fails (EPIPE) instead of ending the process with SIGPIPE, so that it is reported
// and ends with status 1 like any failed write. Call before anything is written.
void PrepareConsole();

bool IsTerminal(std::FILE* stream);

// The width in columns of the terminal `stream` writes to, or 0 when it is none or will not
// say.
int TerminalColumns(std::FILE* stream);

// The whole file. Throws RunError "cannot read 'PATH': REASON" when it is missing, a folder,
// unreadable or larger than `limit` bytes (checked before it is read).
std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::int64_t limit);

// The first `count` bytes of the regular file at `path` (fewer when it is shorter) into
// `start`, and its size; false, with nothing read, when it is no regular file or cannot be
// opened.
bool ReadFileStart(const std::string& path, std::size_t count, std::vector<std::uint8_t>* start,
                   std::uint64_t* size);

// Checks, before any work is done, that qfhost may put a file at `path`, and says where:
// - a symbolic link is followed to the file it names, which is the one replaced (a link to
//   nothing is refused);
// - an existing file must be a regular file with no other hard link: a device, FIFO, socket
//   or folder is never replaced, and replacing a file with several names would part them;
// - its folder must exist and take new files.
// Returns the path of the file to replace; throws RunError "cannot write 'PATH': REASON".
std::string CheckOutputPath(const std::string& path);

// Puts `bytes` at `path` whole or not at all, after CheckOutputPath's checks: they are
// written to a new temporary file in the folder of the file replaced, which is then renamed
// over it; an existing file's mode (and owner, where the process may set it) carry over.
// On failure the temporary file is removed, any file already at `path` is left as it was,
// and RunError "cannot write 'PATH': REASON" is thrown. `beforeRename`, when given, runs once
// the temporary file is complete (tests interrupt the write there).
void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    void (*beforeRename)() = nullptr);

// Makes an interrupt (SIGINT, SIGTERM, SIGHUP; on Windows Ctrl+C, Ctrl+Break and closing the
// console) remove the temporary file WriteWholeFile is writing and write the interrupt report
// to stderr before the process ends as the signal ends it (exit status 128 + signal number in
// a shell: 130, 143). A signal that was ignored when qfhost started stays ignored.
void InstallInterruptCleanup();

// The text an interrupt writes to stderr, as the work goes on (what is done, which file is
// left as it was); "" for none. Kept whole for the handler, which may run at any moment.
void SetInterruptReport(const std::string& text);

// Checks, once before a batch, that `folder` exists, is a folder and takes new files. Throws
// RunError naming the folder otherwise; a missing one is answered with how to make it.
void CheckOutputFolder(const std::string& folder);

// The last component of `path` (after its last '/', or on Windows '/' or '\\'), and `name`
// in `folder`.
std::string FileName(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);

// Which file a path names, as the system tells files apart: the device and inode on POSIX, the
// volume serial number and file ID on Windows. Two names of one file (a symbolic link and its
// target, "a/../a/x.png" and "a/x.png", or on Windows "Pic.png" and "pic.png") have one
// identity. A symbolic link is followed.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  friend bool operator<(const FileIdentity& a, const FileIdentity& b) {
    return a.device != b.device ? a.device < b.device : a.file < b.file;
  }
  friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.file == b.file;
  }
};

// The identity of the existing file at `path`; false when there is none (or it cannot be
// opened to ask).
bool IdentityOf(const std::string& path, FileIdentity* identity);

// True when both paths name one existing file.
inline bool SameFile(const std::string& a, const std::string& b) {
  FileIdentity first, second;
  return IdentityOf(a, &first) && IdentityOf(b, &second) && first == second;
}

}  // namespace veilmere::qfhost
