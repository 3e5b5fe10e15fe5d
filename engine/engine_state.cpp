// The engine state, its start-up and shutdown.
#include "engine/engine_state.h"

#include <utility>

namespace vantelo {

EngineState& Engine() {
  // Heap-allocated once and never freed: the state is large (its buffers and
  // tables are fixed arrays) and lives until the process ends.
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
  BuildCrcTable();
  BuildFixedTables();
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

void SetError(std::int32_t number, std::string message) {
  EngineState& s = Engine();
  s.ErrorNo = number;
  s.ErrorMsg = std::move(message);
}

}  // namespace vantelo
