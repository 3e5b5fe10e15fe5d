#include "engine/pipeline/entry_pipeline.h"

#include "engine/methods/method_table.h"

namespace vantelo {

EntryDecoder* EntryPipeline::DecoderFor(std::uint16_t method) {
  for (auto& [number, decoder] : decoders_)
    if (number == method) return decoder.get();
  std::unique_ptr<EntryDecoder> made = MakeDecoder(method);
  if (made == nullptr) return nullptr;
  decoders_.emplace_back(method, std::move(made));
  return decoders_.back().second.get();
}

}  // namespace vantelo
