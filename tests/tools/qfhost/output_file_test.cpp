// How an output file is put in place: what is never replaced, what a replaced file keeps, and
// that an interrupt leaves neither a temporary file nor a changed output. POSIX file kinds
// (links, FIFOs, owners) are checked in the native build.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/tools/qfhost/support/scratch.h"
#include "tools/qfhost/errors.h"
#include "tools/qfhost/platform.h"

#ifdef _WIN32
#include <windows.h>
#endif
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace veilmere::qfhost {
namespace {

namespace fs = std::filesystem;

const std::vector<std::uint8_t> kNew = {'n', 'e', 'w'};

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// "written", or why `path` (UTF-8, as qfhost takes paths) was not.
std::string WriteError(const std::string& path) {
  try {
    WriteWholeFile(path, kNew);
  } catch (const RunError& error) {
    return error.what();
  }
  return "written";
}

std::size_t EntryCount(const fs::path& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(OutputFile, AFolderOrAMissingFolderIsRefusedBeforeAnyWork) {
  const fs::path dir = Scratch("output-kinds");
  fs::create_directory(dir / "folder.png");
  EXPECT_NE(WriteError((dir / "folder.png").string()).find("it is a folder"), std::string::npos);
  const std::string missing = (dir / "none" / "out.png").string();
  try {
    CheckOutputPath(missing);
    ADD_FAILURE() << "accepted " << missing;
  } catch (const RunError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("cannot write '" + missing + "': ", 0), 0u) << error.what();
  }
  EXPECT_EQ(EntryCount(dir), 1u);
}

// The temporary file's name fits wherever the output's does: names at the longest a folder
// takes (255 bytes here), in ASCII, in Japanese and in emoji, are written, and leave nothing
// behind.
TEST(OutputFile, TheLongestNamesAreWritten) {
  const fs::path dir = Scratch("long-names");
  const auto repeat = [](const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
  };
  for (const std::string& name : {repeat("x", 251) + ".png", repeat("写", 83) + ".png",
                                  repeat("😀", 62) + ".png", repeat("y", 245) + ".png"}) {
    const std::string path = dir.string() + "/" + name;  // UTF-8, as qfhost takes paths
    EXPECT_EQ(WriteError(path), "written") << name.size() << " bytes";
    EXPECT_TRUE(fs::exists(fs::u8path(path))) << name.size() << " bytes";
    fs::remove(fs::u8path(path));
    EXPECT_EQ(EntryCount(dir), 0u) << name.size() << " bytes";
  }
}

// A death test: the child writes and is interrupted just before its file would be renamed
// into place; the parent finds the old output and nothing else, and the report on stderr.
TEST(OutputFile, AnInterruptLeavesNoTemporaryFileAndTheOutputAlone) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const fs::path dir = Scratch("interrupt");
  std::ofstream(dir / "out.png") << "old";
  const std::string out = (dir / "out.png").string();
#ifdef _WIN32
  (void)out;
  GTEST_SKIP() << "console events are not signals";
#else
  for (const int signal : {SIGINT, SIGTERM}) {
    static int raised;
    raised = signal;
    EXPECT_EXIT(
        {
          InstallInterruptCleanup();
          SetInterruptReport("qfhost: interrupted: 2 of 5 files written; 'out.png' left untouched\n");
          WriteWholeFile(out, kNew, [] { std::raise(raised); });
        },
        testing::KilledBySignal(signal), "^qfhost: interrupted: 2 of 5 files written; 'out.png' left untouched\n$");
    EXPECT_EQ(Contents(dir / "out.png"), "old");
    EXPECT_EQ(EntryCount(dir), 1u);
  }
#endif
}

// Makes `name` in `dir` a symbolic link to `target`; false where the system makes none. The
// C++ library's create_symlink and is_symlink are not implemented for Windows.
bool MakeLink(const fs::path& dir, const char* target, const char* name) {
#ifdef _WIN32
  return CreateSymbolicLinkW((dir / name).wstring().c_str(), fs::path(target).wstring().c_str(),
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != 0;
#else
  std::error_code error;
  fs::create_symlink(target, dir / name, error);
  return !error;
#endif
}

bool IsLink(const fs::path& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(path.wstring().c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
  return fs::is_symlink(path);
#endif
}

TEST(OutputFile, ASymbolicLinkIsFollowedAndADanglingOneRefused) {
  const fs::path dir = Scratch("output-links");
  std::ofstream(dir / "real.png") << "old";
  if (!MakeLink(dir, "real.png", "link.png") || !IsLink(dir / "link.png")) {
    GTEST_SKIP() << "this system makes no symbolic link to a file";
  }
  WriteWholeFile((dir / "link.png").string(), kNew);
  EXPECT_TRUE(IsLink(dir / "link.png"));
  EXPECT_EQ(Contents(dir / "real.png"), "new");
  ASSERT_TRUE(MakeLink(dir, "nowhere.png", "dangling.png"));
  EXPECT_NE(WriteError((dir / "dangling.png").string()).find("symbolic link to nothing"),
            std::string::npos);
  EXPECT_EQ(EntryCount(dir), 3u);  // no temporary file is left of either
}

#ifndef _WIN32
TEST(OutputFile, SpecialFilesAndHardLinksAreNeverReplaced) {
  const fs::path dir = Scratch("output-special");
  std::ofstream(dir / "real.png") << "old";
  const std::string fifo = (dir / "fifo.png").string(), hard = (dir / "hard.png").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_NE(WriteError(fifo).find("not a regular file"), std::string::npos);
  EXPECT_TRUE(fs::is_fifo(fifo));
  fs::create_hard_link(dir / "real.png", hard);
  EXPECT_NE(WriteError(hard).find("2 hard links"), std::string::npos);
  EXPECT_EQ(Contents(hard), "old");
  EXPECT_EQ(EntryCount(dir), 3u);  // no temporary file is left of either
}

TEST(OutputFile, AReplacedFileKeepsItsModeAndOwner) {
  const fs::path dir = Scratch("output-mode");
  const fs::path path = dir / "out.png";
  std::ofstream(path) << "old";
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
  }
  WriteWholeFile(path.string(), kNew);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(info.st_uid, 1234u);
    EXPECT_EQ(info.st_gid, 5678u);
  }
  EXPECT_EQ(Contents(path), "new");
}
#endif

}  // namespace
}  // namespace veilmere::qfhost
