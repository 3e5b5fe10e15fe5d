// Pieces of the Extract button's workflow that are worth reaching on their
// own: the summary text, the report lines and the report file.
#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace vantelo::ui {

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

// Writes the lines as 8-bit text, each ended by CR LF, replacing `path`.
// False, with `error` set, when the file cannot be written in full.
bool SaveReportLines(const std::vector<std::string>& lines, const QString& path, QString* error);

}  // namespace vantelo::ui
