// Query and control procedures over the catalog and the batch counters.
#include <algorithm>
#include <stdexcept>
#include <thread>

#include "engine/engine_state.h"
#include "engine/methods/method_table.h"

namespace vantelo {
namespace {

// The entry list's index error: callers pass only indexes of existing rows, so
// anything else is a programming error and escapes as an exception.
TZFItem& Entry(std::int32_t index) {
  EngineState& s = Engine();
  if (index < 0 || index >= static_cast<std::int32_t>(s.Entries.size()))
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return s.Entries[static_cast<std::size_t>(index)];
}

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

}  // namespace

std::int32_t GetEntryCount() { return static_cast<std::int32_t>(Engine().Entries.size()); }

ZipSize GetTotalSize() { return Engine().TotalSize; }

std::int32_t GetSelectedCount() {
  std::int32_t count = 0;
  for (const TZFItem& item : Engine().Entries)
    if (item.Selected) ++count;
  return count;
}

ZipSize GetSelectedSize() {
  ZipSize sum = 0;
  for (const TZFItem& item : Engine().Entries)
    if (item.Selected) sum += item.UnpackedSize;
  return sum;
}

std::string GetEntryName(std::int32_t index) { return SplitName(index).name; }
std::string GetEntryExt(std::int32_t index) { return SplitName(index).ext; }
std::string GetEntryFolder(std::int32_t index) { return SplitName(index).folder; }
std::string GetEntryStatus(std::int32_t index) {
  const char* status = Entry(index).ItemStatus;
  return status != nullptr ? status : "";
}
std::uint16_t GetEntryDate(std::int32_t index) { return Entry(index).FileDate; }
std::uint16_t GetEntryTime(std::int32_t index) { return Entry(index).FileTime; }
ZipSize GetEntrySize(std::int32_t index) { return Entry(index).UnpackedSize; }
ZipSize GetEntryPackedSize(std::int32_t index) { return Entry(index).PackedSize; }
bool GetEntryEncrypted(std::int32_t index) { return Entry(index).Encrypted; }
bool GetEntrySelected(std::int32_t index) { return Entry(index).Selected; }
std::uint16_t GetEntryMethod(std::int32_t index) { return Entry(index).Method; }
std::string GetMethodName(std::uint16_t method) { return MethodName(method); }
std::vector<std::string> GetSupportedMethodNames() { return SupportedMethodNames(); }

bool SetEntrySelected(std::int32_t index, bool value) {
  Entry(index).Selected = value;
  return true;
}

std::string GetLastMessage() { return Engine().ErrorMsg; }

std::int32_t GetSkippedCount() { return Engine().SkippedCount; }

std::int32_t GetStoppedEntry() { return Engine().StoppedEntry; }

bool GetStoppedForMethod() { return Engine().StoppedEntry >= 0 && Engine().StoppedForMethod; }

bool GetProgress(std::int32_t& files, ZipSize& bytes) {
  const EngineState& s = Engine();
  files = s.FilesDone;
  bytes = s.BytesDone;
  return true;
}

void SetThreadCount(std::int32_t count) { Engine().ThreadCount = std::clamp(count, 0, kMaxThreads); }

std::int32_t GetThreadCount() {
  const std::int32_t set = Engine().ThreadCount;
  if (set > 0) return set;
  return std::clamp(static_cast<std::int32_t>(std::thread::hardware_concurrency()), 1, kMaxThreads);
}

bool RequestBreak() {
  Engine().UserBreak = 1;
  return true;
}

std::int32_t CloseArchive() {
  EngineState& s = Engine();
  platform::Close(s.ArchiveHandle);
  s.ArchiveHandle = platform::kNoFile;
  ClearCatalog(s);
  s.StoppedEntry = -1;
  return 0;
}

}  // namespace vantelo
