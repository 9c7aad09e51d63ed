#pragma once
// The start of qfhost's helper programs for the tests: the console set up as qfhost sets it
// up, the arguments in UTF-8 on every platform, and an error that escapes `body` reported as
// "NAME: reason" with exit status 2, the status of a usage error or an unreadable file.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tools/qfhost/platform.h"

namespace veilmere::qfhost {

template <class Body>
int RunTool(const char* name, int argc, char** argv, Body body) {
  PrepareConsole();
  try {
    return body(CommandLineArguments(argc, argv));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", name, error.what());
    return 2;
  }
}

}  // namespace veilmere::qfhost
