#include "engine/progress_gate.h"

#include "engine/engine_state.h"

namespace vantelo {

EntryResult ProgressGate::BeforeRefill() {
  EngineState& s = Engine();
  // Progress, at most once per 200 ms; the signed difference survives the tick wrap.
  const std::uint32_t now = platform::TickCount();
  if (static_cast<std::int32_t>(now - s.LastCallbackTick) > 200) {
    s.LastCallbackTick = now;
    if (s.Callback) {
      try {
        s.Callback();
      } catch (...) {
        return EntryResult::kCallbackFailed;
      }
    }
  }
  if (s.UserBreak) return EntryResult::kUserBreak;
  return EntryResult::kOk;
}

}  // namespace vantelo
