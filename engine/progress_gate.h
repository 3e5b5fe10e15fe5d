// What a running batch does before every entry and every input refill: its
// progress procedure (at most once per 200 ms by the tick count; an exception
// from it stops the batch with error 22), then the user's break request. So
// the procedure runs at least every 200 ms however small the entries are.
#pragma once

#include "engine/pipeline/entry_input.h"

namespace vantelo {

// Reads and updates the batch's Callback, LastCallbackTick and UserBreak.
class ProgressGate final : public RefillGate {
 public:
  EntryResult BeforeRefill() override;
};

}  // namespace vantelo
