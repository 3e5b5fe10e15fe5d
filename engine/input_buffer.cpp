// The archive input buffer: positioned fills and sequential refills.
#include <cstring>

#include "engine/crypt.h"
#include "engine/stream_io.h"

namespace vantelo {
namespace {

void SetReadError(EngineState& s) {
  SetError(kErrRead, "Error reading from file " + s.ArchiveName + " !");
}

// Bytes past InCount are never data; zeroing them keeps a short fill from
// leaving an older fill's bytes (say, a valid local header) behind.
void ClearTail(EngineState& s) {
  std::memset(s.InBuffer.data() + s.InCount, 0, s.InBuffer.size() - static_cast<std::size_t>(s.InCount));
}

}  // namespace

void FillInputAt() {
  EngineState& s = Engine();
  // A negative offset is refused before the seek: its failure result (-1) would
  // otherwise compare equal to an InBase of -1 and the read would go on from
  // wherever the file position happened to be.
  if (s.InBase < 0 ||
      platform::Seek(s.ArchiveHandle, s.InBase, platform::SeekOrigin::Begin) != s.InBase) {
    // Nothing valid can be read there, or the file cannot seek.
    s.ReadCount = -1;
    SetReadError(s);
    return;
  }
  s.ReadCount = platform::Read(s.ArchiveHandle, s.InBuffer.data(), kInBufferFill);
  if (s.ReadCount < 0) {
    SetReadError(s);
    return;
  }
  s.InPos = 0;
  s.InCount = s.ReadCount;
  s.InLimit = s.InCount - kInBufferSlack;
  if (s.InCount < kInBufferFill) ClearTail(s);
}

void RefillInput() {
  EngineState& s = Engine();

  // Progress, at most once per 200 ms; the signed difference survives the tick wrap.
  const std::uint32_t now = platform::TickCount();
  if (static_cast<std::int32_t>(now - s.LastCallbackTick) > 200) {
    s.LastCallbackTick = now;
    if (s.Callback) {
      try {
        s.Callback();
      } catch (...) {
        SetError(kErrCallback, "Error in runtime info function");
      }
      if (s.ErrorNo != 0) return;
    }
  }

  if (s.UserBreak) {
    SetError(kErrRead, "User break!");
    return;
  }

  // Keep the unconsumed bytes: move them to the front.
  s.InBase += s.InPos;
  const std::int32_t keep = s.InCount - s.InPos;
  if (keep > 0) std::memmove(s.InBuffer.data(), s.InBuffer.data() + s.InPos, static_cast<std::size_t>(keep));
  s.InCount = keep > 0 ? keep : 0;
  s.InPos = 0;
  s.InLimit = s.InCount - kInBufferSlack;

  s.ReadCount = platform::Read(s.ArchiveHandle, s.InBuffer.data() + s.InCount, kInBufferFill - s.InCount);
  if (s.ReadCount < 0) {
    SetReadError(s);
    return;
  }
  s.InCount += s.ReadCount;
  s.InLimit = s.InCount - kInBufferSlack;
  if (s.InCount < kInBufferFill) ClearTail(s);

  if (s.CurrentEntry != nullptr && (s.CurrentEntry->CentralFlags & kFlagEncrypted)) {
    s.CryptStart = s.InCount - s.ReadCount;
    s.CryptCount = s.ReadCount;
    DecryptInput();
  }

  // The archive ended with the decoder still short of input: its data is cut
  // off (a valid archive always has the central directory after the data).
  if (s.ReadCount == 0 && s.InCount <= kInBufferSlack)
    SetError(kErrDamaged, "The structure of ZIP file is damaged!");
}

}  // namespace vantelo
