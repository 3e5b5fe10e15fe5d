// The threads that decode entries ahead of the batch's thread. Each has its
// own pipeline (input buffer, window, decoders) and its own reading position
// in the archive; they share only the read-only catalog and tables. Work is
// handed out in runs of consecutive entries (EntryRun), so that a thread
// reads on through the archive as one thread would and the threads meet
// once per run, not once per entry; the batch's thread waits for each run in
// entry order and publishes its entries (batch_run.cpp).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/entry_job.h"
#include "engine/pipeline/byte_source.h"
#include "engine/pipeline/entry_pipeline.h"

namespace vantelo {

// Consecutive entries decoded by one thread, in order. A run ends early at
// an entry that stops the batch whatever comes after it (EntryEnding::
// kFailed) or when the workers are stopped: `decoded` says how many of its
// jobs were decoded.
struct EntryRun {
  std::deque<EntryJob> jobs;
  std::size_t decoded = 0;        // written by the worker before `done`
  std::atomic<bool> done{false};  // the worker has finished with the run
};

// A pipeline reading the catalog's archive (through a few zeros past its end
// for a recovered one, which may end right after an entry's stream), its
// refills asking gate; one per decoding thread.
class CatalogPipeline {
 public:
  CatalogPipeline(const Catalog& catalog, RefillGate* gate);
  CatalogPipeline(const CatalogPipeline&) = delete;
  CatalogPipeline& operator=(const CatalogPipeline&) = delete;
  ~CatalogPipeline() { pipeline.input.Connect(nullptr, nullptr); }

  EntryPipeline pipeline;

 private:
  FileSource archive_;
  ZeroPaddedSource padded_;
};

// Decodes the run's entries in order with the pipeline, up to one that stops
// the batch whatever follows it or, when stop is given, until it is set;
// sets `decoded` and then `done`.
void DecodeRun(EntryRun& run, EntryPipeline& pipeline, DestinationAccess& destination,
               const std::atomic<bool>* stop = nullptr);

class DecodeWorkers {
 public:
  // Starts count threads decoding the catalog's entries; destination is
  // already open when files are written.
  DecodeWorkers(std::int32_t count, const Catalog& catalog, DestinationAccess& destination);
  DecodeWorkers(const DecodeWorkers&) = delete;
  DecodeWorkers& operator=(const DecodeWorkers&) = delete;
  // Stops and joins the threads: every run handed in is done or never begun.
  ~DecodeWorkers();

  void Submit(EntryRun& run);
  // The run handed in last that no thread has begun, taken back (the batch's
  // thread decodes it itself rather than wait); null when there is none.
  EntryRun* TakeBack();
  // Waits up to `wait` for the run to be decoded, or for it to move on (its
  // input refilled a few times: time for the batch's thread to show
  // progress); whether it is decoded.
  bool WaitDone(EntryRun& run, std::chrono::milliseconds wait);
  // The threads take no more runs, and running ones stop at their next
  // refill. Whether `run` (if given) had been taken by a thread: if so it is
  // done soon (wait for it), else never begun.
  bool Stop(const EntryRun* run = nullptr);

 private:
  class WorkerGate;
  void Work();
  // A refill of `run`'s input: wakes the batch's thread now and then while
  // it waits for that run.
  void Moved(const EntryRun& run);

  const Catalog& catalog_;
  DestinationAccess& destination_;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::condition_variable more_;  // a run was handed in, or stop
  std::condition_variable done_;  // a run was decoded
  std::deque<EntryRun*> queue_;
  const EntryRun* waitedFor_ = nullptr;  // the run WaitDone waits for
  std::uint64_t moves_ = 0;              // refills of that run while waited for
  std::vector<std::thread> threads_;
};

}  // namespace vantelo
