#include "cli/cli.h"

#include <cstdio>
#include <ostream>

#include "cli/commands.h"
#include "engine/engine.h"

namespace vantelo::cli {

std::string UsageText() {
  return "usage: vantelo-cli list    ARCHIVE [-O CHARSET]\n"
         "       vantelo-cli test    ARCHIVE [-O CHARSET] [-p PASSWORD] [ENTRY...]\n"
         "       vantelo-cli extract ARCHIVE [-O CHARSET] [-d DIR] [-p PASSWORD] [-n] [-j]\n"
         "                           [ENTRY...]\n"
         "       vantelo-cli --help | --version\n"
         "\n"
         "  list     one tab-separated line per entry: name, date, time, size, ratio,\n"
         "           packed size, folder\n"
         "  test     decode every entry (or the named ones) and check its CRC-32\n"
         "  extract  write the entries below DIR (default: the current folder)\n"
         "\n"
         "  -O CHARSET   code page of entry names not marked as UTF-8 (default: chosen\n"
         "               from the names), e.g. cp437, cp850, cp866, cp1251, shift_jis, gbk,\n"
         "               big5, euc-kr, utf-8\n"
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

bool ApplyNameCharset(const std::string& charset, std::ostream& err) {
  if (SetNameCharset(charset)) return true;
  err << "vantelo-cli: unknown character set '" << EscapeControls(charset) << "'\n";
  return false;
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
