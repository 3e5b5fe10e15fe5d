// Feeds arbitrary bytes to the Deflate decoder and the stored copy through the
// engine's real input path (the bytes are written to a file opened as the
// archive). Layout of an input: 4 bytes declared size (little-endian, taken
// modulo 256 KiB: past the 64 KiB window, yet quick to run), 1 byte of options
// (bit 0: stored instead of Deflate), then the entry's data.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "engine/engine_state.h"
#include "engine/inflate/inflate.h"
#include "engine/stream_io.h"

namespace {

const std::string& InputPath() {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("vantelo-inflate-fuzz-" + std::to_string(std::random_device{}()) + ".bin"))
          .string();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantelo;
  if (size < 5) return 0;
  const std::uint32_t declared =
      (data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24)) % (256u << 10);
  const bool stored = data[4] & 1;
  {
    std::ofstream out(InputPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 5), static_cast<std::streamsize>(size - 5));
  }

  EngineState& s = Engine();
  s.ErrorNo = 0;
  s.UserBreak = 0;
  s.Callback = nullptr;
  s.ArchiveName = InputPath();
  s.ArchiveHandle = platform::OpenForReading(InputPath());
  if (s.ArchiveHandle == platform::kNoFile) return 0;
  // Every run starts from the same state: the counters of a batch would
  // otherwise grow from one input to the next.
  static TZFItem entry;
  entry = TZFItem{};
  entry.UnpackedSize = declared;
  entry.Method = stored ? 0 : 8;
  s.CurrentEntry = &entry;
  s.BytesDone = 0;
  s.FilesDone = 0;
  s.SkippedCount = 0;
  s.ErrorMsg.clear();
  s.InBase = 0;
  s.InBitPos = 0;
  FillInputAt();
  s.TestOnly = true;
  s.OutPos = s.OutStart = s.OutPending = 0;
  s.EntryOutCount = 0;
  s.EntryCrc = 0xFFFFFFFFu;
  if (s.ErrorNo == 0) {
    if (stored)
      CopyStoredEntry();
    else
      InflateEntry();
  }
  // Never more than the declared size is delivered.
  if (s.EntryOutCount > static_cast<ZipSize>(declared)) __builtin_trap();
  platform::Close(s.ArchiveHandle);
  s.ArchiveHandle = platform::kNoFile;
  return 0;
}
