// The output window: flushing produced bytes to the output file and the CRC.
#include <cstring>

#include "engine/stream_io.h"

namespace vantelo {

void FlushOutput() {
  EngineState& s = Engine();
  s.BytesDone += s.OutPending;
  if (!s.TestOnly && s.OutPending > 0) {
    if (platform::Write(s.OutputHandle, s.OutWindow.data() + s.OutStart, s.OutPending) != s.OutPending) {
      // A write that cannot complete is a failure: the file would be short.
      SetError(kErrWrite, "Error writing to file " + s.OutputName + " !");
      return;
    }
  }
  if (s.OutPending != 0) {
    s.EntryOutCount += s.OutPending;
    // The callers set OutPending = OutPos - OutStart; the CRC covers exactly the
    // bytes delivered.
    s.EntryCrc = CrcUpdate(s.EntryCrc, s.OutWindow.data() + s.OutStart,
                           static_cast<std::size_t>(s.OutPending));
  }
  if (s.OutPos >= kOutWindowSize) {
    // Keep the last 32 KiB produced, the Deflate history, right before OutPos.
    std::memmove(s.OutWindow.data(), s.OutWindow.data() + s.OutPos - kHistorySize, kHistorySize);
    s.OutPos = kHistorySize;
  }
  s.OutStart = s.OutPos;
  s.OutPending = 0;
}

}  // namespace vantelo
