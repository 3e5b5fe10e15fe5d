// One entry's way through a batch, in two steps:
//
//   DecodeEntry (any thread)  its local header, encryption and data: decoded
//                             into a pending file in the destination (nothing
//                             in test mode), checked, and an ending decided;
//   FinishEntry (the batch's  in entry order: the entry's folders made, an
//                thread)      existing file looked for, the file published
//                             under its name, the verdict and counters kept.
//
// DecodeEntry reads only the catalog, the options and its own pipeline, and
// writes only its job; nothing it makes is visible under a name. Everything
// another entry could see (folders, names, the verdicts, the counters) is
// FinishEntry's, so a batch on several threads ends exactly as on one.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/engine.h"
#include "engine/pipeline/entry_result.h"
#include "engine/pipeline/sink.h"
#include "platform/destination.h"

namespace vantelo {

struct Catalog;
class EntryPipeline;
class RefillGate;

// The options of a batch, fixed while it runs.
struct BatchOptions {
  std::string destDir;  // empty (the current folder) or ending with a separator
  std::string password;  // as the user gave it (UTF-8); see crypto/password_forms.h
  bool selectedOnly = false;
  bool testOnly = false;
  bool useFolderNames = false;
  bool overwrite = false;
  // A large ZipCrypto entry is decrypted on a thread of its own beside its
  // decoding (only when the batch may use more than one thread).
  bool decryptAhead = false;
};

// How DecodeEntry left the entry.
enum class EntryEnding : std::uint8_t {
  kVerdict,     // done: `verdict` (kStatusOk or a skip) and the counts
  kFailed,      // the batch stops here: `failure`
  kMakeFolder,  // a folder entry: FinishEntry makes it
  kOutput,      // a file entry: FinishEntry makes its folder, looks for an
                // existing file, then takes `decoded`: kOk publishes the file,
                // a verdict (kShort, kDataError) is "BAD CRC!", a failure stops
};

struct EntryJob {
  EntryJob(const Catalog& catalog, const BatchOptions& options, std::int32_t index);

  const Catalog& catalog;
  const BatchOptions& options;
  const std::int32_t index;
  const TZFItem& item;

  // The output names, native separators: folder (below the destination, with
  // its separator), file name, and the name messages use (with the folder
  // when folder names are used).
  std::string folder, fileName, outputName;

  EntryEnding ending = EntryEnding::kVerdict;
  const char* verdict = nullptr;
  EntryResult failure = EntryResult::kOk;
  std::string failureName;  // the name the failure's message gives
  EntryResult decoded = EntryResult::kOk;
  PendingFileSink file;     // kOutput outside test mode: the decoded data
  bool counted = false;     // counts as a file done (its bytes: `bytes`)
  bool skipped = false;     // counts as skipped
  std::atomic<ZipSize> bytes{0};  // counted so far (decoding adds as it goes)
  std::atomic<bool> done{false};  // DecodeEntry has returned (parallel batches)

  // Ending helpers: a verdict that skips the entry (its whole size counts as
  // done), and a failure naming the entry's output name or `name`.
  void Skip(const char* status);
  void Fail(EntryResult result);
  void Fail(EntryResult result, std::string name);
};

// Where DecodeEntry writes a file entry's data: the destination folder,
// opened (made when missing) on first use; kNoFolder with the failure set
// when it cannot be.
class DestinationAccess {
 public:
  virtual ~DestinationAccess() = default;
  virtual platform::FolderHandle Destination() = 0;
};

// The first step; the pipeline's input has the archive and the gate that
// refills ask (progress and break on the batch's thread, the stop request on
// a worker).
void DecodeEntry(EntryJob& job, EntryPipeline& pipeline, DestinationAccess& destination);

}  // namespace vantelo
