#include <iostream>

#include "cli/cli.h"
#include "platform/interrupt_cleanup.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // An interrupted extraction leaves no unfinished file behind.
  vantelo::platform::InstallInterruptCleanup();
  vantelo::platform::UseUtf8ConsoleOutput();
  return vantelo::cli::RunCli(vantelo::platform::CommandLineArguments(argc, argv), std::cout,
                              std::cerr);
}
