// CRC-32 of the ZIP format (reflected polynomial 0xEDB88320).
#include "engine/engine_state.h"

namespace vantelo {

void BuildCrcTable() {
  EngineState& s = Engine();
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    s.CrcTable[n] = c;
  }
}

}  // namespace vantelo
