// A batch over the open catalog's entries: ExtractAll, ExtractSelected and
// ExtractEntry each run one. Its thread (the caller's) runs the progress
// procedure, sees the break request, and finishes the entries strictly in
// entry order: folders made, existing files looked for, files published,
// verdicts and counters kept (entry_job.h). Decoding runs on that thread
// too, or, with more than one thread allowed, on DecodeWorkers ahead of it,
// a bounded number of entries at a time. Either way the batch ends as a
// batch on one thread does: the same verdicts, counters, files, error and
// stopped entry; when an entry stops the batch, nothing after it is
// published and work done ahead is dropped.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/entry_job.h"
#include "engine/pipeline/entry_pipeline.h"
#include "engine/progress_gate.h"
#include "engine/session.h"
#include "platform/destination.h"

namespace vantelo {

class BatchRun final : public DestinationAccess {
 public:
  BatchRun(Session& session, BatchOptions options, TProgressProc procedure, std::int32_t threads);
  BatchRun(const BatchRun&) = delete;
  BatchRun& operator=(const BatchRun&) = delete;
  ~BatchRun() override;

  // Runs the entries first..last (only the selected ones with selectedOnly);
  // the session's error is the batch's afterwards.
  void Run(std::int32_t first, std::int32_t last);

  // The destination folder, opened (made when missing) on first use.
  platform::FolderHandle Destination() override;

 private:
  // False when the batch has stopped.
  bool RunHere(const std::vector<std::int32_t>& entries, std::size_t& next, bool untilAhead);
  void RunAhead(const std::vector<std::int32_t>& entries, std::size_t next);
  // The entry's second step; false when the batch stops at it.
  bool Finish(EntryJob& job);
  bool FinishOutput(EntryJob& job);
  // Opens the folder relative below the destination (making what is
  // missing, never through a link); on Failed the batch has stopped.
  platform::FolderResult OpenEntryFolder(EntryJob& job, const std::string& relative,
                                         platform::FolderHandle& folder);
  // The folder a file entry's file goes into; nothing when it is open, else
  // how the entry ended (skipped as unsafe: true; the batch stopped: false).
  std::optional<bool> OpenOutputFolder(EntryJob& job, platform::FolderHandle& folder);
  bool Done(EntryJob& job);
  bool Stop(EntryJob& job, EntryResult result, const std::string& name);
  // Stops the batch before the entry at index is begun (break, progress procedure).
  void StopBefore(std::int32_t index, EntryResult result);
  // The counters as the session shows them: the finished entries, and the
  // one in hand (head_) with its bytes so far.
  void ShowProgress();

  Session& session_;
  const Catalog& catalog_;
  const BatchOptions options_;
  const std::int32_t threads_;
  ProgressGate gate_;
  platform::FolderHandle destination_ = platform::kNoFolder;
  platform::FolderCache folders_;  // the folders below it reached in this batch
  EntryJob* head_ = nullptr;       // the entry in hand
  std::int32_t files_ = 0;         // finished entries' counts
  ZipSize bytes_ = 0;
  std::int32_t skipped_ = 0;
};

}  // namespace vantelo
