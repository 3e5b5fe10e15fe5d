#include "cli/batch_support.h"

#include <ostream>
#include <unordered_map>

#include "cli/cli.h"
#include "engine/engine.h"
#include "format/display_format.h"
#include "format/report_text.h"
#include "platform/platform.h"

namespace vantelo::cli {
namespace {

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

std::string SelectEntries(const std::vector<std::string>& names) {
  // One pass over the catalog builds a map from every name an entry answers to
  // (folder + name lower-cased; a folder entry also its folder alone) to the
  // entries that answer to it, so that each name costs one lookup.
  const std::int32_t count = GetEntryCount();
  std::unordered_multimap<std::string, std::int32_t> byName;
  byName.reserve(static_cast<std::size_t>(count) + 16);
  for (std::int32_t i = 0; i < count; ++i) {
    SetEntrySelected(i, false);
    const std::string folder = GetEntryFolder(i);
    const std::string entryName = GetEntryName(i);
    // Catalog names are lower-cased already; "[FOLDER]" is not.
    byName.emplace(Lower(folder + entryName), i);
    if (entryName == "[FOLDER]") byName.emplace(folder, i);
  }
  for (const std::string& name : names) {
    const auto [first, last] = byName.equal_range(Lower(name));
    if (first == last) return name;
    for (auto it = first; it != last; ++it) SetEntrySelected(it->second, true);
  }
  return {};
}

bool BatchHasEncryptedEntries(bool selectedOnly) {
  const std::int32_t count = GetEntryCount();
  for (std::int32_t i = 0; i < count; ++i)
    if (GetEntryEncrypted(i) && (!selectedOnly || GetEntrySelected(i))) return true;
  return false;
}

std::vector<std::string> ReportLines(bool selectedOnly, std::int32_t elapsedMs) {
  std::int32_t files = 0;
  ZipSize bytes = 0;
  GetProgress(files, bytes);
  std::vector<std::string> lines;
  const std::int32_t count = GetEntryCount();
  for (std::int32_t i = 0; i < count; ++i) {
    if (selectedOnly && !GetEntrySelected(i)) continue;
    lines.push_back(ReportLine(EscapeControls(GetEntryFolder(i) + GetEntryName(i)),
                               EscapeControls(GetEntryStatus(i))));
    // As in the desktop report: the test follows the addition.
    if (static_cast<std::int32_t>(lines.size()) >= files) break;
  }
  for (std::string& line : ReportTotalLines(files, bytes, GetSkippedCount(), elapsedMs))
    lines.push_back(std::move(line));
  return lines;
}

ProgressBar::ProgressBar(std::ostream& err, bool enabled, ZipSize selectedBytes)
    : err_(err), enabled_(enabled), selectedBytes_(selectedBytes) {}

std::string ProgressBar::Render(std::int32_t files, ZipSize bytes, ZipSize selectedBytes,
                                int width) {
  int percent = 0;
  if (selectedBytes > 0)
    percent = static_cast<int>(RoundHalfEven(static_cast<double>(bytes) / static_cast<double>(selectedBytes) * 100.0));
  percent = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
  const std::string tail = " " + std::to_string(percent) + "%  files " + FmtThousands(files) +
                           "  bytes " + FmtThousands(bytes);
  const int barWidth = width - 2 - static_cast<int>(tail.size());
  std::string line;
  if (barWidth >= 10) {
    const int filled = barWidth * percent / 100;
    line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(barWidth - filled), '-') + "]";
  }
  line += tail;
  if (width > 0 && static_cast<int>(line.size()) > width)
    line.resize(static_cast<std::size_t>(width));
  return line;
}

void ProgressBar::Update() {
  if (!enabled_) return;
  std::int32_t files = 0;
  ZipSize bytes = 0;
  GetProgress(files, bytes);
  err_ << '\r' << Render(files, bytes, selectedBytes_, platform::TerminalWidth() - 1) << "\x1b[K"
       << std::flush;
  drawn_ = true;
}

void ProgressBar::Clear() {
  if (!enabled_ || !drawn_) return;
  err_ << "\r\x1b[K" << std::flush;
  drawn_ = false;
}

}  // namespace vantelo::cli
