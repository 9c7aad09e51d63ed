#pragma once
// qfhost's commands, run from a parsed-out argument list: everything but the process's own
// set-up, so that tests can run a command in-process and read what it printed.

#include <istream>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "tools/qfhost/options.h"

namespace veilmere::qfhost {

struct Console {
  std::ostream& out;   // what the user asked for: help, the list
  std::ostream& err;   // errors, and the progress bar
  bool errIsTerminal;  // the progress bar is drawn only then (and not with --quiet)
  bool outIsTerminal = false;  // PNG data ("-" as the output) is never written to one
  int errColumns = 0;          // the terminal's width, for the progress bar (0: unknown)
  std::istream* in = nullptr;  // standard input, read as a PNG file when IN.png is "-"
  bool inIsTerminal = false;   // PNG data is never read from one
};

// qfhost's commands, in the order its help lists them.
std::span<const Command> Commands();

// Runs the command line `args` (without the program name) and returns the exit status. Every
// failure ends as one line "qfhost: PROBLEM" on console.err and status 1, or 2 for a command
// line qfhost cannot make sense of; output files are then left as they were. A failed
// write to console.out is such a failure too. apply's batch form reports each failed file
// in one such line, goes on with the rest, closes with a line of counts and returns 1 when
// any file failed.
int Run(const std::vector<std::string>& args, const Console& console);

}  // namespace veilmere::qfhost
