// What a running batch looks at before every entry and every input refill on
// its own thread: its progress procedure (at most once per 200 ms by the tick
// count; an exception from it stops the batch with error 22), then the user's
// break request. So the procedure runs at least every 200 ms however small
// the entries are. Once the gate has stopped the batch it keeps answering
// so, without calling the procedure again. (Workers decoding ahead have a
// gate of their own: decode_workers.cpp.)
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "engine/engine.h"
#include "engine/pipeline/entry_input.h"

namespace vantelo {

class ProgressGate final : public RefillGate {
 public:
  // beforeCall brings the counters the procedure may read up to date.
  ProgressGate(TProgressProc procedure, const std::atomic<bool>& userBreak,
               std::function<void()> beforeCall = {});
  EntryResult BeforeRefill() override;
  void SetProcedure(TProgressProc procedure) { procedure_ = std::move(procedure); }
  std::uint32_t LastCallTick() const { return lastTick_; }

 private:
  TProgressProc procedure_;
  const std::atomic<bool>& userBreak_;
  std::function<void()> beforeCall_;
  std::uint32_t lastTick_;
  EntryResult stopped_ = EntryResult::kOk;  // what stopped the batch, once something has
};

}  // namespace vantelo
