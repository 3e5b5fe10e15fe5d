// The vantelo-cli program: list, test and extract over the engine's public procedures.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vantelo::cli {

// Exit codes.
inline constexpr int kExitOk = 0;        // ran to the end, nothing skipped
inline constexpr int kExitSkipped = 1;   // ran to the end with skipped or BAD CRC entries
inline constexpr int kExitError = 2;     // engine error, or the archive cannot be opened
inline constexpr int kExitUsage = 64;    // bad command line

// Runs one command line (without the program name). Results go to out, the
// summary and messages to err.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Text with control characters shown as escapes, so that a stored name cannot
// drive the terminal: C0 controls and DEL as \xNN, the C1 controls as \u00NN
// when UTF-8-encoded and as \xNN when they stand as single bytes.
std::string EscapeControls(const std::string& text);

// Sets the engine's character set of legacy entry names ("" automatic) for
// this command; false, with a message, for a name that is not known.
bool ApplyNameCharset(const std::string& charset, std::ostream& err);

// Opens the archive for a command. With recover, an archive that does not
// open is read from its start (RecoverArchive) and a line on err says so.
// False, with the error on err, when there is nothing to work on.
bool OpenForCommand(const std::string& archive, bool recover, std::ostream& err);

// The usage text.
std::string UsageText();

}  // namespace vantelo::cli
