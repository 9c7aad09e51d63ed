#pragma once
// Runs a qfhost command line in-process, as main does, and keeps what it printed.

#include <sstream>
#include <string>
#include <vector>

#include "tools/qfhost/commands.h"

namespace veilmere::qfhost {

struct Result {
  int status;
  std::string out;
  std::string err;
};

inline Result RunQfhost(const std::vector<std::string>& args, bool terminal = false,
                        bool outIsTerminal = false) {
  std::ostringstream out, err;
  const int status = Run(args, Console{out, err, terminal, outIsTerminal});
  return {status, out.str(), err.str()};
}

}  // namespace veilmere::qfhost
