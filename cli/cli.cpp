#include "cli/cli.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "cli/commands.h"
#include "engine/engine.h"

namespace vantelo::cli {
namespace {

// Whether the byte at i (0x80..0xBF) continues a UTF-8 sequence begun before it.
bool ContinuesUtf8(const std::string& text, std::size_t i) {
  std::size_t lead = i;
  while (lead > 0 && i - lead < 3 &&
         (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80)
    --lead;
  if (lead == 0) return false;
  const unsigned char first = static_cast<unsigned char>(text[lead - 1]);
  const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  return first >= 0xC2 && first <= 0xF4 && i - (lead - 1) < length;
}

}  // namespace

std::string UsageText() {
  // The compression methods this build decodes, from the engine's table.
  std::string methods;
  for (const std::string& name : GetSupportedMethodNames()) methods += (methods.empty() ? "" : ", ") + name;
  return "usage: vantelo-cli list    ARCHIVE [-O CHARSET] [--recover]\n"
         "       vantelo-cli test    ARCHIVE [-O CHARSET] [-p PASSWORD] [-t N] [--recover]\n"
         "                           [ENTRY...]\n"
         "       vantelo-cli extract ARCHIVE [-O CHARSET] [-d DIR] [-p PASSWORD] [-n] [-j]\n"
         "                           [-t N] [--recover] [ENTRY...]\n"
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
         "  -t N, --threads N\n"
         "               threads that decode entries, 1 or more (default: one per\n"
         "               processor; at most " + std::to_string(kMaxThreads) + " are used); the results are the same\n"
         "               with any number\n"
         "  --recover    when the archive is damaged or cut off, read it from its start\n"
         "               and work on the entries found: complete ones as usual, the\n"
         "               others reported as BAD CRC! and never written\n"
         "  ENTRY        folder + name as listed, case-insensitive\n"
         "\n"
         "Methods read: " + methods + "; others stop the run with error 2.\n"
         "\n"
         "Exit codes: 0 all ok, 1 entries skipped or damaged (or the archive recovered),\n"
         "2 error, 64 usage error.\n";
}

std::string EscapeControls(const std::string& text) {
  // Most names hold no byte that could be a control: they go out as they are.
  const auto mayEscape = [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0xC2;
  };
  if (std::none_of(text.begin(), text.end(), mayEscape)) return text;
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    char escaped[8];
    if (c < 0x20 || c == 0x7F) {
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else if (c == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      // U+0080..U+009F in UTF-8: the C1 controls, which some terminals act on.
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned char>(text[++i]));
      out += escaped;
    } else if (c >= 0x80 && c <= 0x9F && !ContinuesUtf8(text, i)) {
      // The same controls as single bytes, for terminals in an 8-bit mode.
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

bool OpenForCommand(const std::string& archive, bool recover, std::ostream& err) {
  std::string openMessage;
  if (OpenArchive(archive) == 0) {
    // An end record cut off inside itself reads as an empty archive; one
    // whose local headers say otherwise is recovered too.
    if (!recover || GetEntryCount() > 0 || !CanRecoverArchive(archive)) return true;
  } else {
    openMessage = GetLastMessage();
    err << "ERROR! " << EscapeControls(openMessage) << "\n";
    if (!recover) return false;
  }
  if (RecoverArchive(archive) != 0) {
    // A file that cannot be opened at all says so once.
    if (GetLastMessage() != openMessage) err << "ERROR! " << EscapeControls(GetLastMessage()) << "\n";
    return false;
  }
  err << "vantelo-cli: recovered: " << GetEntryCount()
      << (GetEntryCount() == 1 ? " entry" : " entries") << " read from the start of the archive\n";
  return true;
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
