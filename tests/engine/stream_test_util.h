// Helpers for the tests of the input buffer, output window and decryption: they
// drive the engine state directly, the way the batch and the decoders do.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "engine/stream_io.h"
#include "platform/platform.h"

namespace vantelo::test {

// The entry record the stream tests decode "as": not part of any catalog.
inline TZFItem& ScratchEntry() {
  static TZFItem entry;
  return entry;
}

// Puts the stream fields and options back to a known state before a test; the
// current entry is a blank scratch record.
inline void ResetStreamState() {
  EngineState& s = Engine();
  s.ErrorNo = 0;
  s.ErrorMsg.clear();
  s.Callback = nullptr;
  s.UserBreak = 0;
  s.TestOnly = true;
  s.OutputHandle = platform::kNoFile;
  s.OutputName.clear();
  ScratchEntry() = TZFItem{};
  s.CurrentEntry = &ScratchEntry();
  s.InBase = s.InCount = s.InPos = s.InBitPos = s.InLimit = s.ReadCount = 0;
  s.OutPos = s.OutStart = s.OutPending = s.EntryOutCount = 0;
  s.EntryCrc = 0xFFFFFFFFu;
  s.BytesDone = 0;
  s.CryptStart = s.CryptCount = s.CryptRemaining = 0;
  s.LastCallbackTick = platform::TickCount();
}

// The archive handle of the engine pointed at any file for the length of a test.
class RawArchive {
 public:
  explicit RawArchive(const std::string& path) {
    EngineState& s = Engine();
    s.ArchiveName = path;
    s.ArchiveHandle = platform::OpenForReading(path);
  }
  ~RawArchive() {
    EngineState& s = Engine();
    platform::Close(s.ArchiveHandle);
    s.ArchiveHandle = platform::kNoFile;
  }
  RawArchive(const RawArchive&) = delete;
  RawArchive& operator=(const RawArchive&) = delete;
  bool ok() const { return Engine().ArchiveHandle != platform::kNoFile; }
};

// Copies `size` bytes from the input buffer to the output window as the stored
// decoder does (pieces bounded by InLimit and by the window's flush point,
// refills when InPos reaches InLimit, one last flush), with pieces of at most
// `maxPiece` bytes to vary where refills fall. Fails the test if a piece would
// reach past InCount. Returns the number of RefillInput calls.
inline int CopyStored(std::int32_t size, std::int32_t maxPiece = 1 << 30) {
  EngineState& s = Engine();
  int refills = 0;
  auto refill = [&] {
    ++refills;
    RefillInput();
  };
  auto flush = [&] {
    s.OutPending = s.OutPos - s.OutStart;
    FlushOutput();
  };
  if (s.InCount - s.InPos < 1024) refill();
  std::int32_t remaining = size;
  for (int guard = 0; s.ErrorNo == 0 && remaining > 0; ++guard) {
    if (guard > 1000000) {
      ADD_FAILURE() << "the copy makes no progress";
      return refills;
    }
    std::int32_t piece = std::min({remaining, s.InLimit - s.InPos, kOutWindowSize - s.OutPos, maxPiece});
    if (piece > 0) {
      if (s.InPos + piece > s.InCount) {
        ADD_FAILURE() << "a piece reaches past InCount";
        return refills;
      }
      std::memcpy(s.OutWindow.data() + s.OutPos, s.InBuffer.data() + s.InPos, static_cast<std::size_t>(piece));
      s.InPos += piece;
      s.OutPos += piece;
      remaining -= piece;
    }
    if (s.OutPos >= kOutWindowSize) flush();
    if (s.ErrorNo == 0 && remaining > 0 && s.InPos >= s.InLimit) refill();
  }
  if (s.ErrorNo == 0) flush();
  return refills;
}

inline std::vector<std::uint8_t> RandomBytes(std::size_t n, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(n);
  std::uint32_t x = seed * 2654435761u + 1u;
  for (auto& b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return bytes;
}

}  // namespace vantelo::test
