// Pieces of the Extract button's workflow that are worth reaching on their
// own: one run's settings, the summary text, the report lines and the report
// file.
#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/run_entries.h"

namespace vantelo::ui {

// One run as the options dialog (and the questions after it) set it up.
struct BatchSettings {
  std::string destination;  // engine path, ending in the separator unless empty
  std::string password;
  bool overwrite = true;
  bool useFolderNames = true;
  bool testOnly = false;
  bool selectedOnly = false;  // a batch over `entries` as the selected entries
  EntryFlags entries;         // the entries the run processes
};

// The summary box's answers beside Yes (a report) and No.
inline constexpr int kAnswerOtherPassword = 4;  // mrRetry
inline constexpr int kAnswerOpenFolder = 100;
inline constexpr const char* kOtherPasswordButton = "Try Another Password";
inline constexpr const char* kOpenFolderButton = "Open Folder";

// The summary after a batch, with "\r" where the box breaks the line:
// "ERROR! " + message + "\r Would you like a report?" when errorNo is not 0,
// otherwise the status ("All is Ok!  ", "There is a skiped file!   ",
// "There are N skiped files!  ") + "   Elapsed time " + ms + " ms" + "\r Would
// you like a report?".
QString SummaryText(std::int32_t errorNo, const std::string& message, std::int32_t skipped,
                    std::uint32_t elapsedMs);

// A text as a message box shows it: each "\r" becomes a line break.
QString BoxText(const QString& text);

// The report of the last batch, read from the engine: one line per candidate
// entry (every entry, or the selected ones when `selectedOnly`) up to the
// number of entries begun, the first candidate always, then the five totals.
std::vector<std::string> BuildReportLines(bool selectedOnly, std::uint32_t elapsedMs);
// The same over the entries flagged in `candidates`.
std::vector<std::string> BuildReportLines(const EntryFlags& candidates, std::uint32_t elapsedMs);

// Writes the lines as 8-bit text, each ended by CR LF, replacing `path`.
// False, with `error` set, when the file cannot be written in full.
bool SaveReportLines(const std::vector<std::string>& lines, const QString& path, QString* error);

}  // namespace vantelo::ui
