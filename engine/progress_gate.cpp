#include "engine/progress_gate.h"

#include <utility>

#include "platform/platform.h"

namespace vantelo {

ProgressGate::ProgressGate(TProgressProc procedure, const std::atomic<bool>& userBreak,
                           std::function<void()> beforeCall)
    : procedure_(std::move(procedure)),
      userBreak_(userBreak),
      beforeCall_(std::move(beforeCall)),
      lastTick_(platform::TickCount()) {}

EntryResult ProgressGate::BeforeRefill() {
  // Once it has stopped the batch it says so again, without another call.
  if (stopped_ != EntryResult::kOk) return stopped_;
  // Progress, at most once per 200 ms; the signed difference survives the tick wrap.
  const std::uint32_t now = platform::TickCount();
  if (static_cast<std::int32_t>(now - lastTick_) > 200) {
    lastTick_ = now;
    if (procedure_) {
      if (beforeCall_) beforeCall_();
      try {
        procedure_();
      } catch (...) {
        return stopped_ = EntryResult::kCallbackFailed;
      }
    }
  }
  if (userBreak_.load(std::memory_order_relaxed)) return stopped_ = EntryResult::kUserBreak;
  return EntryResult::kOk;
}

}  // namespace vantelo
