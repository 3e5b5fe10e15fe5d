// The engine state, its start-up and shutdown.
#include "engine/engine_state.h"

#include <utility>

namespace vantelo {

EngineState& Engine() {
  // Heap-allocated once and never freed: it lives until the process ends.
  static EngineState* state = new EngineState();
  if (!state->Started) {
    state->Started = true;
    EngineStartup();
  }
  return *state;
}

void EngineStartup() {
  EngineState& s = Engine();
  static bool done = false;
  if (done) return;
  done = true;
  s.Entries.clear();
}

void EngineShutdown() {
  EngineState& s = Engine();
  s.Entries.clear();
  s.Entries.shrink_to_fit();
  s.CurrentEntry = nullptr;
  s.ErrorMsg.clear();
  s.DestDir.clear();
  s.ArchiveName.clear();
  s.OutputName.clear();
  s.EntryFolder.clear();
  s.EntryFileName.clear();
  s.EntryExt.clear();
}

void ClearCatalog(EngineState& s) {
  s.Entries.clear();
  s.CurrentEntry = nullptr;
  s.TotalSize = 0;
  s.EntryLimits.clear();
  s.EntriesOverlap = false;
  s.Recovered = false;
  s.RecoveredIncomplete.clear();
}

void SetError(std::int32_t number, std::string message) {
  EngineState& s = Engine();
  s.ErrorNo = number;
  s.ErrorMsg = std::move(message);
}

}  // namespace vantelo

namespace vantelo {

void SetEntryError(EntryResult result) {
  EngineState& s = Engine();
  FailureText failure = DescribeFailure(result, s.ArchiveName, s.OutputName);
  // Every refusal of an entry's method (the method itself, or what it asks
  // for) names the method; a refused encryption does not.
  if (failure.number == kErrMethod && result != EntryResult::kUnsupportedEncryption) s.StoppedForMethod = true;
  if (failure.number != 0) SetError(failure.number, std::move(failure.message));
}

}  // namespace vantelo
