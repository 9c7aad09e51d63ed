// qfhost: runs a Quillfen filter module's filters on PNG images. See `qfhost --help`
// and the README.

#include <cstdio>
#include <iostream>

#include "tools/qfhost/commands.h"
#include "tools/qfhost/platform.h"

int main(int argc, char** argv) {
  using namespace veilmere::qfhost;
  PrepareConsole();
  InstallInterruptCleanup();
  const Console console{std::cout, std::cerr,       IsTerminal(stderr), IsTerminal(stdout),
                        TerminalColumns(stderr), &std::cin, IsTerminal(stdin)};
  return Run(CommandLineArguments(argc, argv), console);
}
