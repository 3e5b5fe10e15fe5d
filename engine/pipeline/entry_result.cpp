#include "engine/pipeline/entry_result.h"

#include "engine/engine.h"

namespace vantelo {

FailureText DescribeFailure(EntryResult result, const std::string& archiveName,
                            const std::string& outputName) {
  switch (result) {
    case EntryResult::kOk:
    case EntryResult::kShort:
    case EntryResult::kDataError:
      return {};
    case EntryResult::kDamaged:
      return {kErrDamaged, "The structure of ZIP file is damaged!"};
    case EntryResult::kReadFailed:
      return {kErrRead, "Error reading from file " + archiveName + " !"};
    case EntryResult::kUserBreak:
      return {kErrRead, "User break!"};
    case EntryResult::kCallbackFailed:
      return {kErrCallback, "Error in runtime info function"};
    case EntryResult::kWriteFailed:
      return {kErrWrite, "Error writing to file " + outputName + " !"};
    case EntryResult::kUnsupported:
      return {kErrMethod, outputName + " is compressed with not supported old method!"};
    case EntryResult::kUnsupportedEncryption:
      return {kErrMethod, outputName + " is encrypted with a not supported method!"};
    case EntryResult::kTooMuchMemory:
      return {kErrMethod, outputName + " needs more memory than is allowed!"};
    case EntryResult::kLocalHeaderDamaged:
      return {kErrDamaged, "The structure of local file header is damaged!"};
    case EntryResult::kEntriesOverlap:
      return {kErrDamaged, "Entries of the ZIP file overlap each other or its central directory!"};
    case EntryResult::kFolderFailed:
      return {kErrDamaged, "Can not create directory " + outputName};
    case EntryResult::kCreateFailed:
      return {kErrCreate, "Error creating file " + outputName + " !"};
  }
  return {kErrDamaged, "The structure of ZIP file is damaged!"};
}

}  // namespace vantelo
