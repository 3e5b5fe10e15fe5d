#include "cli/cli.h"

#include <cstdio>
#include <ostream>

#include "cli/commands.h"

namespace vantelo::cli {

std::string UsageText() {
  return "usage: vantelo-cli list    ARCHIVE\n"
         "       vantelo-cli test    ARCHIVE [-p PASSWORD] [ENTRY...]\n"
         "       vantelo-cli extract ARCHIVE [-d DIR] [-p PASSWORD] [-n] [-j] [ENTRY...]\n"
         "       vantelo-cli --help | --version\n"
         "\n"
         "  list     one tab-separated line per entry: name, date, time, size, ratio,\n"
         "           packed size, folder\n"
         "  test     decode every entry (or the named ones) and check its CRC-32\n"
         "  extract  write the entries below DIR (default: the current folder)\n"
         "\n"
         "  -p PASSWORD  password for encrypted entries (asked for on a terminal when needed)\n"
         "  -d DIR       destination folder\n"
         "  -n           never overwrite existing files\n"
         "  -j           drop the stored folder names\n"
         "  ENTRY        folder + name as listed, case-insensitive\n"
         "\n"
         "Exit codes: 0 all ok, 1 entries skipped or damaged, 2 error, 64 usage error.\n";
}

std::string EscapeControls(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << UsageText();
    return kExitUsage;
  }
  const std::string& command = args[0];
  if (command == "--help" || command == "-h") {
    out << UsageText();
    return kExitOk;
  }
  if (command == "--version") {
    out << "vantelo-cli " << VANTELO_VERSION << "\n";
    return kExitOk;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "list") return RunList(rest, out, err);
  if (command == "test" || command == "extract") return RunBatch(command == "test", rest, out, err);
  err << "vantelo-cli: unknown command '" << EscapeControls(command) << "'\n" << UsageText();
  return kExitUsage;
}

}  // namespace vantelo::cli
