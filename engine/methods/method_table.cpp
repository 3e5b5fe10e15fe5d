// The method numbers and names of the ZIP application note (section 4.4.5).
#include "engine/methods/method_table.h"

#include <algorithm>
#include <iterator>

#include "engine/methods/inflate/inflate.h"
#include "engine/methods/stored.h"
#ifdef VANTELO_LIBRARY_METHODS
#include "engine/methods/library/library_decoder.h"
#endif

namespace vantelo {
namespace {

template <class Decoder, auto... Args>
std::unique_ptr<EntryDecoder> Make() {
  return std::make_unique<Decoder>(Args...);
}

// bzip2, LZMA, XZ and Zstandard are decoded by their libraries where the build
// has them; elsewhere (Windows) they are refused like any other method.
#ifdef VANTELO_LIBRARY_METHODS
constexpr auto kBzip2 = &MakeBzip2Decoder;
constexpr auto kLzma = &MakeLzmaDecoder;
constexpr auto kXz = &MakeXzDecoder;
constexpr auto kZstd = &MakeZstdDecoder;
#else
constexpr std::unique_ptr<EntryDecoder> (*kBzip2)() = nullptr;
constexpr auto kLzma = kBzip2;
constexpr auto kXz = kBzip2;
constexpr auto kZstd = kBzip2;
#endif

const MethodInfo kMethods[] = {
    {0, "Stored", &Make<StoredDecoder>},
    {1, "Shrink", nullptr},
    {2, "Reduce", nullptr},
    {3, "Reduce", nullptr},
    {4, "Reduce", nullptr},
    {5, "Reduce", nullptr},
    {6, "Implode", nullptr},
    {7, "Tokenize", nullptr},
    {8, "Deflate", &Make<InflateDecoder, DeflateVariant::kDeflate>},
    {9, "Deflate64", &Make<InflateDecoder, DeflateVariant::kDeflate64>},
    {10, "DCL Implode", nullptr},
    {12, "bzip2", kBzip2},
    {14, "LZMA", kLzma},
    {16, "IBM z/OS CMPSC", nullptr},
    {18, "IBM TERSE", nullptr},
    {19, "IBM LZ77", nullptr},
    {20, "Zstandard", nullptr},
    {93, "Zstandard", kZstd},
    {94, "MP3", nullptr},
    {95, "XZ", kXz},
    {96, "JPEG", nullptr},
    {97, "WavPack", nullptr},
    {98, "PPMd", nullptr},
    {99, "WinZip AES", nullptr},
};

}  // namespace

const MethodInfo* FindMethod(std::uint16_t number) {
  for (const MethodInfo& method : kMethods)
    if (method.number == number) return &method;
  return nullptr;
}

bool IsSupportedMethod(std::uint16_t number) {
  const MethodInfo* method = FindMethod(number);
  return method != nullptr && method->make != nullptr;
}

std::string MethodName(std::uint16_t number) {
  const MethodInfo* method = FindMethod(number);
  return method != nullptr ? method->name : "";
}

std::vector<std::string> SupportedMethodNames() {
  std::vector<std::string> names;
  for (const MethodInfo& method : kMethods)
    if (method.make != nullptr && std::find(names.begin(), names.end(), method.name) == names.end())
      names.emplace_back(method.name);
  return names;
}

std::unique_ptr<EntryDecoder> MakeDecoder(std::uint16_t number) {
  const MethodInfo* method = FindMethod(number);
  return method != nullptr && method->make != nullptr ? method->make() : nullptr;
}

}  // namespace vantelo
