// Pieces of vantelo-cli test / extract: entry selection, the report lines, the
// summary text and the progress bar on the terminal.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace vantelo::cli {

// Selects the entries named (folder + name as listed, case-insensitive; a
// folder entry also answers to its folder alone) and clears every other
// selection. Returns the first name that matches nothing, or "" when all do.
std::string SelectEntries(const std::vector<std::string>& names);

// Whether the batch (the selected entries, or all) meets an encrypted entry.
bool BatchHasEncryptedEntries(bool selectedOnly);

// The desktop program's report: one line per entry begun (folder + name +
// " " + status, control characters escaped), then the five totals lines.
std::vector<std::string> ReportLines(bool selectedOnly, std::int32_t elapsedMs);

// A one-line progress bar, redrawn in place on a terminal by the batch's
// progress callback. Does nothing when disabled.
class ProgressBar {
 public:
  ProgressBar(std::ostream& err, bool enabled, ZipSize selectedBytes);
  bool enabled() const { return enabled_; }
  void Update();  // redraws from GetProgress
  void Clear();   // removes the line, if one was drawn
  // The line for files and bytes done, fitted into width columns.
  static std::string Render(std::int32_t files, ZipSize bytes, ZipSize selectedBytes,
                            int width);

 private:
  std::ostream& err_;
  bool enabled_;
  bool drawn_ = false;
  ZipSize selectedBytes_;
};

}  // namespace vantelo::cli
