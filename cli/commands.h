// The CLI's commands; each returns the process exit code.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vantelo::cli {

int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunBatch(bool testOnly, const std::vector<std::string>& args, std::ostream& out,
             std::ostream& err);

}  // namespace vantelo::cli
