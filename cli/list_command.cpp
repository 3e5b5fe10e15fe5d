// vantelo-cli list ARCHIVE: the grid's column texts, one tab-separated line per entry
// (of a recovered archive: exit code 1).
#include <algorithm>
#include <ostream>

#include "cli/cli.h"
#include "cli/commands.h"
#include "engine/engine.h"
#include "format/display_format.h"

namespace vantelo::cli {

int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  // ARCHIVE, with -O CHARSET before or after it.
  std::vector<std::string> rest = args;
  const auto recoverOption = std::find(rest.begin(), rest.end(), "--recover");
  const bool recover = recoverOption != rest.end();
  if (recover) rest.erase(recoverOption);
  std::string nameCharset;
  const auto option = std::find(rest.begin(), rest.end(), "-O");
  if (option != rest.end() && option + 1 != rest.end()) {
    nameCharset = *(option + 1);
    rest.erase(option, option + 2);
  }
  if (rest.size() != 1 || rest[0].empty() || rest[0] == "-O") {
    err << UsageText();
    return kExitUsage;
  }
  if (!ApplyNameCharset(nameCharset, err)) {
    err << UsageText();
    return kExitUsage;
  }
  if (!OpenForCommand(rest[0], recover, err)) return kExitError;
  const bool recovered = IsArchiveRecovered();
  out << "Name\tDate\tTime\tSize\tRatio\tPacked\tPath\n";
  const std::int32_t count = GetEntryCount();
  for (std::int32_t i = 0; i < count; ++i) {
    out << EscapeControls(GetEntryName(i)) << (GetEntryEncrypted(i) ? "+" : "") << '\t'
        << FmtDate(GetEntryDate(i)) << '\t' << FmtTime(GetEntryTime(i)) << '\t'
        << FmtThousands(GetEntrySize(i)) << '\t'
        << FmtRatio(GetEntryPackedSize(i), GetEntrySize(i)) << '\t'
        << FmtThousands(GetEntryPackedSize(i)) << '\t' << EscapeControls(GetEntryFolder(i))
        << '\n';
  }
  CloseArchive();
  return recovered ? kExitSkipped : kExitOk;
}

}  // namespace vantelo::cli
