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

std::string WriteError(const fs::path& path) {
  try {
    WriteWholeFile(path.string(), kNew);
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
  EXPECT_NE(WriteError(dir / "folder.png").find("it is a folder"), std::string::npos);
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
    std::string error = "written";
    try {
      WriteWholeFile(path, kNew);
    } catch (const RunError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, "written") << name.size() << " bytes";
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

#ifdef _WIN32
// As on POSIX: the file a symbolic link names is replaced, and the link stays.
TEST(OutputFile, ASymbolicLinkIsFollowedOnWindowsToo) {
  const fs::path dir = Scratch("output-links-windows");
  std::ofstream(dir / "real.png") << "old";
  // The C++ library's create_symlink and is_symlink are not implemented for Windows.
  const auto link = [&](const wchar_t* target, const char* name) {
    return CreateSymbolicLinkW((dir / name).wstring().c_str(), target,
                               SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != 0;
  };
  const auto isLink = [&](const char* name) {
    const DWORD attributes = GetFileAttributesW((dir / name).wstring().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  };
  if (!link(L"real.png", "link.png") || !isLink("link.png")) {
    GTEST_SKIP() << "this system makes no symbolic link to a file (error " << GetLastError() << ")";
  }
  WriteWholeFile((dir / "link.png").string(), kNew);
  EXPECT_TRUE(isLink("link.png"));
  EXPECT_EQ(Contents(dir / "real.png"), "new");
  ASSERT_TRUE(link(L"nowhere.png", "dangling.png"));
  EXPECT_NE(WriteError(dir / "dangling.png").find("symbolic link to nothing"), std::string::npos);
  EXPECT_EQ(EntryCount(dir), 3u);
}
#endif

#ifndef _WIN32
TEST(OutputFile, ALinkIsFollowedAndSpecialFilesAndHardLinksAreNeverReplaced) {
  const fs::path dir = Scratch("output-links");
  std::ofstream(dir / "real.png") << "old";
  fs::create_symlink("real.png", dir / "link.png");
  WriteWholeFile((dir / "link.png").string(), kNew);
  EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
  EXPECT_EQ(Contents(dir / "real.png"), "new");

  fs::create_symlink("nowhere.png", dir / "dangling.png");
  EXPECT_NE(WriteError(dir / "dangling.png").find("symbolic link to nothing"), std::string::npos);
  ASSERT_EQ(::mkfifo((dir / "fifo.png").c_str(), 0600), 0);
  EXPECT_NE(WriteError(dir / "fifo.png").find("not a regular file"), std::string::npos);
  EXPECT_TRUE(fs::is_fifo(dir / "fifo.png"));
  fs::create_hard_link(dir / "real.png", dir / "hard.png");
  EXPECT_NE(WriteError(dir / "hard.png").find("2 hard links"), std::string::npos);
  EXPECT_EQ(Contents(dir / "hard.png"), "new");
  EXPECT_EQ(EntryCount(dir), 5u);  // no temporary file is left of any of them
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
