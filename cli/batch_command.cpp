// vantelo-cli test / extract: not available yet.
#include <ostream>

#include "cli/cli.h"
#include "cli/commands.h"

namespace vantelo::cli {

int RunBatch(bool, const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "vantelo-cli: test and extract are not available yet\n";
  return kExitUsage;
}

}  // namespace vantelo::cli
