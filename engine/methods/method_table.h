// The compression methods of the ZIP format in one table: number, name, and
// for the methods the engine decodes, how to make a decoder. Everything that
// asks "is this method supported?" or "what is method N called?" reads it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/pipeline/entry_decoder.h"

namespace vantelo {

struct MethodInfo {
  std::uint16_t number;
  const char* name;                         // as users know it: "Deflate64", "PPMd"
  std::unique_ptr<EntryDecoder> (*make)();  // null: refused
};

// The row of a method number; null for a number no row names.
const MethodInfo* FindMethod(std::uint16_t number);
// Whether the engine decodes entries of this method.
bool IsSupportedMethod(std::uint16_t number);
// The method's name ("" for a number no row names).
std::string MethodName(std::uint16_t number);
// The names of the methods the engine decodes, in method number order, each once.
std::vector<std::string> SupportedMethodNames();
// A decoder of the method; null when the method is refused.
std::unique_ptr<EntryDecoder> MakeDecoder(std::uint16_t number);

}  // namespace vantelo
