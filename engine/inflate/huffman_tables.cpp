// Placeholder until the Deflate decoder lands: the fixed tables are built here.
#include "engine/engine_state.h"

namespace vantelo {
void BuildFixedTables() {}
}  // namespace vantelo
