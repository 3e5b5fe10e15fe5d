// Where an entry's decoded bytes go: a pending file in the destination, or, in
// test mode, nowhere.
#pragma once

#include <cstdint>
#include <string>

#include "platform/destination.h"

namespace vantelo {

class Sink {
 public:
  virtual ~Sink() = default;
  // Takes the next n bytes of the entry's data; false when they could not be
  // written in full.
  virtual bool Put(const std::uint8_t* data, std::int32_t n) = 0;
};

// Test mode: the bytes are checked, not kept.
class DiscardSink final : public Sink {
 public:
  bool Put(const std::uint8_t*, std::int32_t) override { return true; }
};

// A file written under no name (or a hidden temporary one) in a folder of the
// destination, which gets its name only by Publish, there or in another
// folder of the same file system; anything else removes it, at the latest
// when the sink goes.
class PendingFileSink final : public Sink {
 public:
  PendingFileSink() = default;
  PendingFileSink(const PendingFileSink&) = delete;
  PendingFileSink& operator=(const PendingFileSink&) = delete;
  ~PendingFileSink() override { Discard(); }

  // Creates the pending file in folder (not owned; it must stay open until
  // the file is published or discarded).
  bool Create(platform::FolderHandle folder);
  bool Put(const std::uint8_t* data, std::int32_t n) override;
  platform::FileHandle File() const { return pending_.file; }
  // Gives the file its name in folder. Published or NameTaken: the sink
  // holds no file afterwards; Failed: it still does (try another folder, or
  // Discard).
  platform::PublishResult Publish(platform::FolderHandle folder, const std::string& name, bool overwrite);
  // Closes the file, if any, and removes it: nothing of it remains.
  void Discard();

 private:
  platform::PendingFile pending_;
};

}  // namespace vantelo
