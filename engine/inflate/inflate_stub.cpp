// Placeholder until the Deflate decoder lands.
#include "engine/engine_state.h"
#include "engine/inflate/inflate.h"

namespace vantelo {
void InflateEntry() { SetError(kErrMethod, "Deflate is not available yet"); }
void CopyStoredEntry() { SetError(kErrMethod, "Stored copy is not available yet"); }
}  // namespace vantelo
