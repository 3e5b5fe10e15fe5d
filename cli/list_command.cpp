// vantelo-cli list ARCHIVE: the grid's column texts, one tab-separated line per entry.
#include <ostream>

#include "cli/cli.h"
#include "cli/commands.h"
#include "engine/engine.h"
#include "format/display_format.h"

namespace vantelo::cli {

int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) {
    err << UsageText();
    return kExitUsage;
  }
  if (OpenArchive(args[0]) != 0) {
    err << "ERROR! " << EscapeControls(GetLastMessage()) << "\n";
    return kExitError;
  }
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
  return kExitOk;
}

}  // namespace vantelo::cli
