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
// system shows no dialog when a module fails to load. Call before anything is written.
void PrepareConsole();

bool IsTerminal(std::FILE* stream);

// The whole file. Throws RunError "cannot read 'PATH': REASON" when it is missing, a
// directory or unreadable.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);

// Puts `bytes` at `path` whole or not at all: they are written to a new temporary file beside
// `path`, which is then renamed over it. On failure the temporary file is removed, any file
// already at `path` is left as it was, and RunError "cannot write 'PATH': REASON" is thrown.
void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace veilmere::qfhost
