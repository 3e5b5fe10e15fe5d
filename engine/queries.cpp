// Query and control procedures over the default session: its catalog, the
// marks on its entries and the batch counters.
#include <algorithm>
#include <stdexcept>

#include "engine/methods/method_table.h"
#include "engine/session.h"

namespace vantelo {
namespace {

Session& S() { return DefaultSession(); }

// The entry list's index error: callers pass only indexes of existing rows, so
// anything else is a programming error and escapes as an exception.
std::size_t Checked(std::int32_t index) {
  if (index < 0 || index >= S().catalog.Count())
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return static_cast<std::size_t>(index);
}
const TZFItem& Entry(std::int32_t index) { return S().catalog.entries[Checked(index)]; }

// Folder, name and extension are split from the decoded name when asked for:
// the catalog holds each name once.
struct NameParts {
  std::string folder, name, ext;
};
NameParts SplitName(std::int32_t index) {
  NameParts parts;
  SplitEntryName(Entry(index).EntryPath.c_str(), parts.folder, parts.name, parts.ext);
  return parts;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The folder part alone, as SplitEntryName gives it (lower-cased, with its
// separator): reports ask for every entry's folder and name, so neither makes
// the other parts (SplitName makes them all, for the extension).
std::string FolderPart(const std::string& path) {
  std::size_t end = path.size();
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  std::string folder = path.substr(0, end);
  for (char& c : folder)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return folder;
}

// The name part alone, as SplitEntryName gives it: lower-cased, "[FOLDER]"
// for a name that ends in a separator.
std::string NamePart(const std::string& path) {
  std::size_t start = path.size();
  while (start > 0 && !IsSeparator(path[start - 1])) --start;
  if (start > 0 && start == path.size()) return kFolderName;
  std::string name = path.substr(start);
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return name;
}

}  // namespace

std::int32_t GetEntryCount() { return S().catalog.Count(); }

ZipSize GetTotalSize() { return S().catalog.totalSize; }

std::int32_t GetSelectedCount() {
  const EntryMarks& marks = S().marks;
  std::int32_t count = 0;
  for (std::size_t i = 0; i < marks.size(); ++i)
    if (marks.Selected(i)) ++count;
  return count;
}

ZipSize GetSelectedSize() {
  const Session& s = S();
  ZipSize sum = 0;
  for (std::size_t i = 0; i < s.marks.size(); ++i)
    if (s.marks.Selected(i)) sum += s.catalog.entries[i].UnpackedSize;
  return sum;
}

std::string GetEntryName(std::int32_t index) { return NamePart(Entry(index).EntryPath); }
std::string GetEntryExt(std::int32_t index) { return SplitName(index).ext; }
std::string GetEntryFolder(std::int32_t index) { return FolderPart(Entry(index).EntryPath); }
std::string GetEntryStatus(std::int32_t index) {
  const char* status = S().marks.Verdict(Checked(index));
  return status != nullptr ? status : "";
}
std::uint16_t GetEntryDate(std::int32_t index) { return Entry(index).FileDate; }
std::uint16_t GetEntryTime(std::int32_t index) { return Entry(index).FileTime; }
ZipSize GetEntrySize(std::int32_t index) { return Entry(index).UnpackedSize; }
ZipSize GetEntryPackedSize(std::int32_t index) { return Entry(index).PackedSize; }
bool GetEntryEncrypted(std::int32_t index) { return Entry(index).Encrypted; }
bool GetEntrySelected(std::int32_t index) { return S().marks.Selected(Checked(index)); }
std::uint16_t GetEntryMethod(std::int32_t index) { return Entry(index).Method; }
std::string GetMethodName(std::uint16_t method) { return MethodName(method); }
std::vector<std::string> GetSupportedMethodNames() { return SupportedMethodNames(); }

bool SetEntrySelected(std::int32_t index, bool value) {
  S().marks.Select(Checked(index), value);
  return true;
}

std::string GetLastMessage() { return S().errorMessage; }

std::int32_t GetSkippedCount() { return S().counters.skipped.load(std::memory_order_relaxed); }

std::int32_t GetStoppedEntry() { return S().stoppedEntry; }

bool GetStoppedForMethod() { return S().stoppedEntry >= 0 && S().stoppedForMethod; }

bool GetProgress(std::int32_t& files, ZipSize& bytes) {
  const BatchCounters& c = S().counters;
  files = c.filesDone.load(std::memory_order_relaxed);
  bytes = c.bytesDone.load(std::memory_order_relaxed);
  return true;
}

bool RequestBreak() {
  S().userBreak.store(true, std::memory_order_relaxed);
  return true;
}

void SetThreadCount(std::int32_t count) { S().threadCount = std::clamp(count, 0, kMaxThreads); }

std::int32_t GetThreadCount() { return S().Threads(); }

std::int32_t CloseArchive() {
  Session& s = S();
  s.Commit(Catalog{});
  s.stoppedEntry = -1;
  return 0;
}

}  // namespace vantelo
