// vantelo-cli test / extract: runs the engine's batch and prints the report
// lines of the desktop program's report on stdout, the summary on stderr.
#include <algorithm>
#include <charconv>
#include <ostream>

#include "cli/batch_support.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "engine/engine.h"
#include "format/display_format.h"
#include "format/report_text.h"
#include "platform/platform.h"

namespace vantelo::cli {
namespace {

struct BatchOptions {
  std::string archive;
  std::string password;
  bool havePassword = false;
  std::string destDir;
  bool keepExisting = false;
  bool junkFolders = false;
  bool recover = false;
  std::string nameCharset;  // "" automatic
  std::int32_t threads = 0;  // 0: the engine's default
  std::vector<std::string> entries;
};

// The value of -t / --threads: a whole number, 1 or more. Counts above the
// engine's limit are taken as the limit (the engine cuts them to it anyway).
bool ParseThreadCount(const std::string& option, const std::string& value, std::int32_t& count,
                      std::ostream& err) {
  std::uint64_t n = 0;
  const char* end = value.data() + value.size();
  const auto [stop, ec] = std::from_chars(value.data(), end, n);
  const bool digits = !value.empty() && stop == end && value[0] != '-' && value[0] != '+';
  if (!digits || (ec != std::errc() && ec != std::errc::result_out_of_range) ||
      (ec == std::errc() && n == 0)) {
    err << "vantelo-cli: option " << option << " needs a number of threads, 1 or more, not '"
        << EscapeControls(value) << "'\n";
    return false;
  }
  count = ec == std::errc::result_out_of_range || n > static_cast<std::uint64_t>(kMaxThreads)
              ? kMaxThreads
              : static_cast<std::int32_t>(n);
  return true;
}

// Parses the arguments after the command; false (with a message) on a usage error.
bool ParseBatchArgs(bool testOnly, const std::vector<std::string>& args, BatchOptions& o,
                    std::ostream& err) {
  bool optionsEnded = false;
  bool haveArchive = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && a.size() > 1 && a[0] == '-') {
      const bool extractOnly = a == "-d" || a == "-n" || a == "-j";
      if (testOnly && extractOnly) {
        err << "vantelo-cli: option " << a << " is for extract only\n";
        return false;
      }
      if (a == "-p" || a == "-d" || a == "-O" || a == "-t" || a == "--threads") {
        if (i + 1 >= args.size()) {
          err << "vantelo-cli: option " << a << " needs a value\n";
          return false;
        }
        if (a == "-p") {
          o.password = args[++i];
          o.havePassword = true;
        } else if (a == "-O") {
          o.nameCharset = args[++i];
        } else if (a == "-t" || a == "--threads") {
          if (!ParseThreadCount(a, args[++i], o.threads, err)) return false;
        } else {
          o.destDir = args[++i];
        }
      } else if (a == "-n") {
        o.keepExisting = true;
      } else if (a == "-j") {
        o.junkFolders = true;
      } else if (a == "--recover") {
        o.recover = true;
      } else {
        err << "vantelo-cli: unknown option '" << EscapeControls(a) << "'\n";
        return false;
      }
      continue;
    }
    if (!haveArchive) {
      o.archive = a;
      haveArchive = true;
    } else {
      o.entries.push_back(a);
    }
  }
  if (!haveArchive) {
    err << "vantelo-cli: no archive given\n";
    return false;
  }
  return ApplyNameCharset(o.nameCharset, err);
}

}  // namespace

int RunBatch(bool testOnly, const std::vector<std::string>& args, std::ostream& out,
             std::ostream& err) {
  BatchOptions o;
  if (!ParseBatchArgs(testOnly, args, o, err)) {
    err << UsageText();
    return kExitUsage;
  }
  // Without -t the engine's default (the processor's count); set every run,
  // so one command's choice does not outlive it.
  SetThreadCount(o.threads);

  std::string destDir = o.destDir;
  // "/" ends a folder name on Windows too.
  if (!testOnly && !destDir.empty() && destDir.back() != '/' &&
      destDir.back() != platform::NativeSeparator())
    destDir += platform::NativeSeparator();

  if (!OpenForCommand(o.archive, o.recover, err)) return kExitError;
  const bool recovered = IsArchiveRecovered();

  const bool selected = !o.entries.empty();
  if (selected) {
    const std::string unmatched = SelectEntries(o.entries);
    if (!unmatched.empty()) {
      err << "vantelo-cli: no entry '" << EscapeControls(unmatched) << "' in "
          << EscapeControls(o.archive) << " (give folder + name as `vantelo-cli list` shows them)\n";
      CloseArchive();
      return kExitUsage;
    }
  }

  // A missing destination is made, as unzip -d does, once the archive has
  // opened and the entries named are there: a failed run leaves no folder.
  if (!testOnly && !destDir.empty() && !platform::DirectoryExists(destDir) &&
      !platform::CreateDirectories(destDir)) {
    err << "ERROR! Can not create directory " << EscapeControls(destDir) << "\n";
    CloseArchive();
    return kExitError;
  }

  std::string password = o.password;
  if (!o.havePassword && platform::IsTerminal(0) && BatchHasEncryptedEntries(selected))
    password = platform::ReadPasswordFromTerminal("Password: ");

  const ZipSize selectedBytes = selected ? GetSelectedSize() : GetTotalSize();
  ProgressBar bar(err, platform::IsTerminal(2), selectedBytes);
  TProgressProc callback;
  if (bar.enabled()) callback = [&bar] { bar.Update(); };

  const std::uint32_t start = platform::TickCount();
  const bool overwrite = !o.keepExisting;
  const bool useFolderNames = !o.junkFolders;
  const std::int32_t error =
      selected ? ExtractSelected(destDir, password, overwrite, useFolderNames, testOnly, callback)
               : ExtractAll(destDir, password, overwrite, useFolderNames, testOnly, callback);
  const std::int32_t elapsed = static_cast<std::int32_t>(platform::TickCount() - start);
  bar.Clear();

  for (const std::string& line : ReportLines(selected, elapsed)) out << line << '\n';
  out.flush();

  const std::string message = EscapeControls(GetLastMessage());
  const std::int32_t skipped = GetSkippedCount();
  // A refused method is named on a line of its own, after the defined message
  // (not when the entry's encryption was the reason).
  std::string methodDetail;
  if (error == kErrMethod && GetStoppedForMethod()) {
    const std::int32_t stopped = GetStoppedEntry();
    {
      const std::uint16_t method = GetEntryMethod(stopped);
      methodDetail = MethodDetailText(method, GetMethodName(method));
    }
  }
  CloseArchive();
  err << BatchSummaryText(error, message, skipped) << '\n';
  if (!methodDetail.empty()) err << "vantelo-cli: " << methodDetail << '\n';
  if (error != 0) return kExitError;
  return skipped > 0 || recovered ? kExitSkipped : kExitOk;
}

}  // namespace vantelo::cli
