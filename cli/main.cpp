#include <iostream>

#include "cli/cli.h"
#include "platform/interrupt_cleanup.h"

int main(int argc, char** argv) {
  // An interrupted extraction leaves no unfinished file behind.
  vantelo::platform::InstallInterruptCleanup();
  std::vector<std::string> args(argv + 1, argv + argc);
  return vantelo::cli::RunCli(args, std::cout, std::cerr);
}
