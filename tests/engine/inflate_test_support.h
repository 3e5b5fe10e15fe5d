// Helpers for the Deflate decoder tests: run a raw stream through the entry
// pipeline's parts from memory (an EntryInput over the bytes, the method's
// decoder, the output window and a sink that keeps the bytes, or none in test
// mode), make streams with zlib, and write streams bit by bit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/pipeline/entry_result.h"

namespace vantelo::test {

enum class DecodeMethod { Deflate, Stored, Deflate64 };

struct DecodeResult {
  EntryResult result = EntryResult::kOk;  // what the decoder returned
  std::int32_t errorNo = 0;               // the error it maps to (0: none)
  std::string errorMsg;
  std::string output;        // the bytes delivered (nothing in test mode)
  std::uint32_t crc = 0;     // the entry's finished CRC-32
  std::int32_t outCount = 0; // EntryOutCount
  std::int64_t endOffset = 0; // stream offset of the next unconsumed bit, in bits
};

struct DecodeOptions {
  DecodeMethod method = DecodeMethod::Deflate;
  bool testOnly = false;
  // Bytes after the stream in the file: a real archive always has more after
  // an entry's data (at least its central directory).
  std::string trailer = std::string(100, '\x5a');
  // Fills the output window first, as an earlier entry would have.
  bool dirtyWindow = true;
};

// Decodes stream as an entry whose local header declares declaredSize.
DecodeResult DecodeStream(const std::string& stream, std::int32_t declaredSize, const DecodeOptions& options = {});

// Raw Deflate (no header) with zlib.
std::string ZlibDeflate(const std::string& data, int level, int memLevel = 8, int strategy = 0);
// Decodes raw Deflate with zlib; false when zlib reports an error.
bool ZlibInflate(const std::string& stream, std::string* out);
std::uint32_t ZlibCrc(const std::string& data);

// Sample data.
std::string TextSample(std::size_t size, unsigned seed = 1);
std::string BinarySample(std::size_t size, unsigned seed = 2);
std::string RandomBytes(std::size_t size, unsigned seed = 3);

// Writes bits in Deflate order (first bit in bit 0 of the first byte).
class BitWriter {
 public:
  void Bits(std::uint32_t value, int count);            // value's low bits, low bit first
  void Code(std::uint32_t code, int length);             // a Huffman code, its high bit first
  void AlignToByte();
  void Bytes(const std::string& bytes);                  // after AlignToByte
  void BlockHeader(bool last, int type) { Bits(last ? 1 : 0, 1); Bits(static_cast<std::uint32_t>(type), 2); }
  // Symbols of the fixed code.
  void FixedLiteral(int symbol);                         // 0..287
  void FixedLength(int length);                          // 3..258, with extra bits
  void FixedDistance(int distance);                      // 1..32768, with extra bits
  // A dynamic block header that sends every length as a plain code-length symbol
  // (a 4-bit code for each of 0..15, no repeat codes).
  void DynamicHeader(const std::vector<int>& litLengths, const std::vector<int>& distLengths);
  std::string Finish();  // pads the last byte with zeros

 private:
  std::string out_;
  std::uint32_t acc_ = 0;
  int count_ = 0;
};

// Canonical codes for a set of lengths (RFC 1951), indexed by symbol.
std::vector<std::uint32_t> CanonicalCodes(const std::vector<int>& lengths);

}  // namespace vantelo::test
