// What the parts of an entry's pipeline report: the input, the decoder, the
// output window and its sink each return one of these, never set an error
// themselves. DescribeFailure is the one place that turns a result into the
// engine's error number and message.
#pragma once

#include <cstdint>
#include <string>

namespace vantelo {

enum class EntryResult : std::uint8_t {
  kOk,              // the step succeeded; from a decoder: exactly the declared size came out
  kShort,           // the stream ended before the declared size (a verdict: "BAD CRC!")
  kDataError,       // a codec library refused the data (a verdict: "BAD CRC!")
  kDamaged,         // bad data, more output than declared, or input that ran out mid-stream
  kReadFailed,      // the archive could not be read
  kUserBreak,       // the user asked the batch to stop
  kCallbackFailed,  // the progress procedure raised
  kWriteFailed,     // the output could not be written in full
  kUnsupported,     // the method (or what the entry asks of it) is not supported
  kUnsupportedEncryption,  // the entry's encryption is one the engine does not decrypt
  kTooMuchMemory,   // the entry's dictionary or window is larger than decoders may allocate
  kLocalHeaderDamaged,  // no local header where the catalog says, or cut off
  kEntriesOverlap,      // the entry's data runs into another entry or the directory
  kFolderFailed,        // a folder of the destination cannot be made (named: the folder)
  kCreateFailed,        // the output file cannot be created or named (named: the file)
};

// Whether a result stops the batch (an error) rather than being the entry's verdict.
inline bool IsFailure(EntryResult result) {
  return result != EntryResult::kOk && result != EntryResult::kShort &&
         result != EntryResult::kDataError;
}

struct FailureText {
  std::int32_t number = 0;
  std::string message;
};

// The error number and message of a failure; the names go into the messages
// that name a file (outputName: the entry's output name, or for kFolderFailed
// and kCreateFailed the folder's or file's path). {0, ""} for a result that is
// no failure.
FailureText DescribeFailure(EntryResult result, const std::string& archiveName,
                            const std::string& outputName);

}  // namespace vantelo
