// An entry's encrypted bytes read and decrypted on a thread of their own, a
// few blocks ahead of the decoder, so that decryption and decoding overlap.
// ZipCrypto's key chain (three dependent steps a byte) costs about as much as
// Inflate; side by side the two take little more than the longer of them.
//
// The source gives the filtered bytes of [from, to) in order, from a first
// SeekTo(from); past `to` it reads the archive as it is (the next header).
// Nothing else may read the archive source while it is in use.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/pipeline/byte_source.h"
#include "engine/pipeline/entry_input.h"

namespace vantelo {

class FilterAheadSource final : public ByteSource {
 public:
  FilterAheadSource(ByteSource& archive, InputFilter& filter, ZipSize from, ZipSize to);
  FilterAheadSource(const FilterAheadSource&) = delete;
  FilterAheadSource& operator=(const FilterAheadSource&) = delete;
  // Stops the thread wherever it is.
  ~FilterAheadSource() override;

  // Only `from` (the first time) or, later, offsets at or past `to`.
  bool SeekTo(ZipSize offset) override;
  std::int32_t Read(std::uint8_t* data, std::int32_t n) override;

 private:
  static constexpr std::int32_t kBlockSize = 65536;
  static constexpr std::size_t kBlocks = 4;
  struct Block {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kBlockSize);
    std::int32_t count = 0;
  };
  void Work();
  // Waits for the thread to be done with the archive source.
  void Finish();

  ByteSource& archive_;
  InputFilter& filter_;
  const ZipSize from_, to_;
  ZipSize next_ = 0;            // the offset the next Read gives
  bool readingArchive_ = false;  // past `to`: reads go to the archive

  std::mutex lock_;
  std::condition_variable changed_;
  std::array<Block, kBlocks> ring_;
  std::size_t head_ = 0, filled_ = 0;  // the oldest filled block, how many are filled
  std::int32_t taken_ = 0;             // bytes of the oldest block already read
  bool ended_ = false;                 // the thread has put its last block
  bool failed_ = false;                // its last read failed
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace vantelo
