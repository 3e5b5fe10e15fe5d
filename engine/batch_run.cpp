#include "engine/batch_run.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

#include "engine/decode_workers.h"

namespace vantelo {
namespace {

// Work ahead of the batch's thread: runs of consecutive entries, four per
// thread (so that a thread finds the next one waiting while finished ones
// wait to be published), all of them together no more than kEntriesInFlight
// entries (each holds an open pending file) and a run no more than kRunBytes
// of data unless one entry is larger.
constexpr std::size_t kRunsPerThread = 4;
constexpr std::size_t kEntriesInFlight = 256;
constexpr ZipSize kRunBytes = ZipSize{4} << 20;
// How long the batch's thread waits for the entry in hand before it looks at
// the progress procedure and the break request again.
constexpr std::chrono::milliseconds kLookInterval{50};

}  // namespace

BatchRun::BatchRun(Session& session, BatchOptions options, TProgressProc procedure, std::int32_t threads)
    : session_(session),
      catalog_(session.catalog),
      options_(std::move(options)),
      threads_(threads),
      gate_(std::move(procedure), session.userBreak, [this] { ShowProgress(); }) {}

BatchRun::~BatchRun() {
  folders_.Clear();
  platform::CloseFolder(destination_);
}

platform::FolderHandle BatchRun::Destination() {
  if (destination_ == platform::kNoFolder) destination_ = platform::OpenDestination(options_.destDir, true);
  return destination_;
}

void BatchRun::ShowProgress() {
  BatchCounters& c = session_.counters;
  const bool inHand = head_ != nullptr;
  c.filesDone.store(files_ + (inHand ? 1 : 0), std::memory_order_relaxed);
  c.bytesDone.store(bytes_ + (inHand ? head_->bytes.load(std::memory_order_relaxed) : 0),
                    std::memory_order_relaxed);
  c.skipped.store(skipped_, std::memory_order_relaxed);
}

void BatchRun::Run(std::int32_t first, std::int32_t last) {
  Session& s = session_;
  s.userBreak.store(false, std::memory_order_relaxed);
  s.ClearError();
  s.stoppedEntry = -1;
  s.stoppedForMethod = false;
  ShowProgress();
  if (last < first) return;
  // Refused before anything is written.
  if (catalog_.entriesOverlap) {
    s.SetFailure(DescribeFailure(EntryResult::kEntriesOverlap, catalog_.archiveName, ""));
    return;
  }
  std::vector<std::int32_t> entries;
  entries.reserve(static_cast<std::size_t>(last - first + 1));
  for (std::int32_t i = first; i <= last; ++i)
    if (!options_.selectedOnly || s.marks.Selected(static_cast<std::size_t>(i))) entries.push_back(i);

  std::size_t next = 0;
  const bool ahead = threads_ > 1 && entries.size() > 1;
  // Entries decoded ahead write into the destination, so that starts once
  // it is open: now when it exists, else when an entry run here has made it.
  if (ahead && !options_.testOnly) destination_ = platform::OpenDestination(options_.destDir, false);
  if (RunHere(entries, next, ahead) && next < entries.size()) RunAhead(entries, next);
  head_ = nullptr;
  ShowProgress();
}

// One entry after the other on this thread; with untilAhead only until
// decoding ahead can start (test mode, or the destination open).
bool BatchRun::RunHere(const std::vector<std::int32_t>& entries, std::size_t& next, bool untilAhead) {
  CatalogPipeline reader(catalog_, &gate_);
  for (; next < entries.size(); ++next) {
    if (untilAhead && (options_.testOnly || destination_ != platform::kNoFolder)) return true;
    const std::int32_t index = entries[next];
    // Progress and the break request before every entry too: entries small
    // enough to need no refill would otherwise run without either.
    if (const EntryResult r = gate_.BeforeRefill(); r != EntryResult::kOk) {
      StopBefore(index, r);
      return false;
    }
    EntryJob job(catalog_, options_, index);
    head_ = &job;
    DecodeEntry(job, reader.pipeline, *this);
    const bool goOn = Finish(job);
    head_ = nullptr;
    if (!goOn) return false;
  }
  return true;
}

// Decoding on the workers in runs of consecutive entries, a few runs a thread
// ahead; finishing here, in entry order.
void BatchRun::RunAhead(const std::vector<std::int32_t>& entries, std::size_t next) {
  std::deque<EntryRun> inFlight;  // outlives the workers, which point into it
  // This thread decodes too, the runs no worker has begun when it needs them.
  CatalogPipeline reader(catalog_, &gate_);
  DecodeWorkers workers(threads_ - 1, catalog_, *this);
  const std::size_t runsAhead = static_cast<std::size_t>(threads_) * kRunsPerThread;
  const std::size_t runLength = std::max<std::size_t>(1, kEntriesInFlight / runsAhead);
  for (;;) {
    while (inFlight.size() < runsAhead && next < entries.size()) {
      EntryRun& run = inFlight.emplace_back();
      ZipSize size = 0;
      do {
        const EntryJob& job = run.jobs.emplace_back(catalog_, options_, entries[next++]);
        size += job.item.UnpackedSize;
      } while (next < entries.size() && run.jobs.size() < runLength && size < kRunBytes);
      workers.Submit(run);
    }
    if (inFlight.empty()) return;
    EntryRun& run = inFlight.front();
    head_ = &run.jobs.front();
    // Progress and the break request while the run in hand decodes; this
    // thread decodes the runs no worker has begun meanwhile (the run in hand
    // too, when it is one of them). Their refills ask the same gate, which
    // once it has stopped the batch says so here too.
    for (;;) {
      const EntryResult r = gate_.BeforeRefill();
      if (r == EntryResult::kOk) {
        if (run.done.load(std::memory_order_acquire)) break;
        // Only while it would wait: the runs taken are the last handed in,
        // so the workers keep the ones needed first.
        if (EntryRun* waiting = workers.TakeBack())
          DecodeRun(*waiting, reader.pipeline, *this);
        else if (workers.WaitDone(run, kLookInterval))
          break;
        continue;
      }
      // Stopped in the middle of the entry in hand, as a batch on one thread
      // stops in one of its refills; or before it, if no thread took it yet.
      if (workers.Stop(&run)) {
        while (!workers.WaitDone(run, kLookInterval)) {
        }
        Stop(run.jobs.front(), r, "");
      } else {
        StopBefore(run.jobs.front().index, r);
      }
      head_ = nullptr;
      return;
    }
    for (std::size_t i = 0; i < run.decoded; ++i) {
      EntryJob& job = run.jobs[i];
      head_ = &job;
      // Progress and the break request before every entry, as on one thread.
      bool goOn = true;
      if (const EntryResult r = gate_.BeforeRefill(); r != EntryResult::kOk) {
        StopBefore(job.index, r);
        goOn = false;
      } else {
        goOn = Finish(job);
      }
      head_ = nullptr;
      if (!goOn) {
        // Nothing after the stopped entry is published: the workers stop, and
        // what they made ahead goes with its jobs.
        workers.Stop();
        return;
      }
    }
    // A run ends early only at an entry that stopped the batch (above), or
    // when the workers were stopped, which happens only when it stops.
    inFlight.pop_front();
  }
}

bool BatchRun::Finish(EntryJob& job) {
  switch (job.ending) {
    case EntryEnding::kVerdict:
      return Done(job);
    case EntryEnding::kFailed:
      return Stop(job, job.failure, job.failureName);
    case EntryEnding::kMakeFolder: {
      platform::FolderHandle folder = platform::kNoFolder;
      switch (OpenEntryFolder(job, job.folder, folder)) {
        case platform::FolderResult::Opened:
          job.verdict = kStatusOk;
          return Done(job);
        case platform::FolderResult::Unsafe:
          job.Skip(kStatusUnsafePath);
          return Done(job);
        case platform::FolderResult::Failed:
          return false;
      }
      return false;
    }
    case EntryEnding::kOutput:
      return FinishOutput(job);
  }
  return false;
}

bool BatchRun::FinishOutput(EntryJob& job) {
  const std::string target = options_.destDir + job.outputName;
  platform::FolderHandle folder = platform::kNoFolder;
  if (!options_.testOnly) {
    // What a batch on one thread does before decoding, done here in entry
    // order, so it sees the names the entries before this one have made:
    // the folder, then (without overwrite) whatever stands under the name,
    // which wins over anything the decoding found.
    if (const std::optional<bool> ended = OpenOutputFolder(job, folder)) return *ended;
    if (!options_.overwrite) {
      const platform::NameKind present = platform::KindAt(folder, job.fileName);
      if (present == platform::NameKind::Folder) return Stop(job, EntryResult::kCreateFailed, target);
      if (present != platform::NameKind::Nothing) {
        job.Skip(kStatusFileExists);
        return Done(job);
      }
    }
  }
  if (job.decoded == EntryResult::kCreateFailed) return Stop(job, EntryResult::kCreateFailed, target);
  if (IsFailure(job.decoded)) return Stop(job, job.decoded, job.outputName);
  if (job.decoded != EntryResult::kOk) {
    job.verdict = kStatusBadCrc;
    job.skipped = true;
    return Done(job);
  }
  if (options_.testOnly) {
    job.verdict = kStatusOk;
    return Done(job);
  }
  for (int attempt = 0;; ++attempt) {
    switch (job.file.Publish(folder, job.fileName, options_.overwrite)) {
      case platform::PublishResult::Published:
        job.verdict = kStatusOk;
        return Done(job);
      case platform::PublishResult::NameTaken:
        // Another program made the file while this entry was decoded; its
        // bytes are already counted.
        job.verdict = kStatusFileExists;
        job.skipped = true;
        return Done(job);
      case platform::PublishResult::Failed:
        break;
    }
    if (attempt > 0) return Stop(job, EntryResult::kCreateFailed, target);
    // A kept folder may have been removed since it was opened: open it
    // again, through the same checks, and try once more.
    folders_.Clear();
    if (const std::optional<bool> ended = OpenOutputFolder(job, folder)) return *ended;
  }
}

std::optional<bool> BatchRun::OpenOutputFolder(EntryJob& job, platform::FolderHandle& folder) {
  switch (OpenEntryFolder(job, options_.useFolderNames ? job.folder : std::string(), folder)) {
    case platform::FolderResult::Opened:
      return std::nullopt;
    case platform::FolderResult::Unsafe:
      job.Skip(kStatusUnsafePath);
      return Done(job);
    case platform::FolderResult::Failed:
      break;
  }
  return false;
}

platform::FolderResult BatchRun::OpenEntryFolder(EntryJob& job, const std::string& relative,
                                                 platform::FolderHandle& folder) {
  folder = platform::kNoFolder;
  if (Destination() == platform::kNoFolder) {
    Stop(job, EntryResult::kFolderFailed, options_.destDir);
    return platform::FolderResult::Failed;
  }
  const platform::FolderResult result = folders_.Open(destination_, relative, true, folder);
  if (result == platform::FolderResult::Failed)
    Stop(job, EntryResult::kFolderFailed, options_.destDir + relative);
  return result;
}

bool BatchRun::Done(EntryJob& job) {
  session_.marks.SetVerdict(static_cast<std::size_t>(job.index), job.verdict);
  if (job.counted) files_ += 1;
  bytes_ += job.bytes.load(std::memory_order_relaxed);
  if (job.skipped) skipped_ += 1;
  return true;
}

bool BatchRun::Stop(EntryJob& job, EntryResult result, const std::string& name) {
  // Stopped by an error or a user break: no verdict, and nothing of it stays.
  job.file.Discard();
  session_.marks.SetVerdict(static_cast<std::size_t>(job.index), nullptr);
  if (job.counted) files_ += 1;
  bytes_ += job.bytes.load(std::memory_order_relaxed);
  session_.SetFailure(DescribeFailure(result, catalog_.archiveName, name));
  // Every refusal of an entry's method (the method itself, or what it asks
  // for) names the method; a refused encryption does not.
  session_.stoppedForMethod = session_.errorNo == kErrMethod && result != EntryResult::kUnsupportedEncryption;
  session_.stoppedEntry = job.index;
  return false;
}

void BatchRun::StopBefore(std::int32_t index, EntryResult result) {
  session_.SetFailure(DescribeFailure(result, catalog_.archiveName, ""));
  session_.stoppedEntry = index;
}

namespace {

std::int32_t RunBatch(std::int32_t first, std::int32_t last, bool selectedOnly,
                      const std::string& destDir, const std::string& password, bool overwrite,
                      bool useFolderNames, bool testOnly, TProgressProc procedure) {
  Session& s = DefaultSession();
  BatchOptions options;
  // Messages name files as the destination + name: a separator joins them.
  options.destDir = destDir;
  if (!options.destDir.empty() && options.destDir.back() != '/' && options.destDir.back() != '\\')
    options.destDir += platform::NativeSeparator();
  options.password = password;  // each cipher takes what it uses of it
  options.selectedOnly = selectedOnly;
  options.testOnly = testOnly;
  options.useFolderNames = useFolderNames;
  options.overwrite = overwrite;
  const std::int32_t threads = s.Threads();
  options.decryptAhead = threads > 1;
  BatchRun(s, std::move(options), std::move(procedure), threads).Run(first, last);
  return s.errorNo;
}

}  // namespace

std::int32_t ExtractAll(const std::string& destDir, const std::string& password, bool overwrite,
                        bool useFolderNames, bool testOnly, TProgressProc callback) {
  return RunBatch(0, GetEntryCount() - 1, false, destDir, password, overwrite, useFolderNames,
                  testOnly, std::move(callback));
}

std::int32_t ExtractSelected(const std::string& destDir, const std::string& password,
                             bool overwrite, bool useFolderNames, bool testOnly,
                             TProgressProc callback) {
  return RunBatch(0, GetEntryCount() - 1, true, destDir, password, overwrite, useFolderNames,
                  testOnly, std::move(callback));
}

std::int32_t ExtractEntry(std::int32_t index, const std::string& destDir,
                          const std::string& password, bool overwrite, bool useFolderNames,
                          bool testOnly, TProgressProc callback) {
  if (index < 0 || index >= GetEntryCount())
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return RunBatch(index, index, false, destDir, password, overwrite, useFolderNames, testOnly,
                  std::move(callback));
}

}  // namespace vantelo
