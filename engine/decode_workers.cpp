#include "engine/decode_workers.h"

#include "engine/catalog.h"
#include "engine/pipeline/entry_pipeline.h"

namespace vantelo {

// A worker's gate: stops a refill when the batch stops its workers, and tells
// the batch's thread every few refills of the job in hand.
class DecodeWorkers::WorkerGate final : public RefillGate {
 public:
  explicit WorkerGate(DecodeWorkers& workers) : workers_(workers) {}
  void SetRun(const EntryRun* run) {
    run_ = run;
    refills_ = 0;
  }
  EntryResult BeforeRefill() override {
    if (workers_.stop_.load(std::memory_order_relaxed)) return EntryResult::kUserBreak;
    // Every 128 KiB of input or so: often enough for a progress window, far
    // from every refill.
    if (run_ != nullptr && ++refills_ % 4 == 0) workers_.Moved(*run_);
    return EntryResult::kOk;
  }

 private:
  DecodeWorkers& workers_;
  const EntryRun* run_ = nullptr;
  std::uint32_t refills_ = 0;
};

DecodeWorkers::DecodeWorkers(std::int32_t count, const Catalog& catalog, DestinationAccess& destination)
    : catalog_(catalog), destination_(destination) {
  threads_.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) threads_.emplace_back([this] { Work(); });
}

DecodeWorkers::~DecodeWorkers() {
  Stop();
  for (std::thread& thread : threads_) thread.join();
}

void DecodeWorkers::Submit(EntryRun& run) {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    queue_.push_back(&run);
  }
  more_.notify_one();
}

CatalogPipeline::CatalogPipeline(const Catalog& catalog, RefillGate* gate)
    : archive_(catalog.archiveHandle), padded_(archive_) {
  pipeline.input.Connect(catalog.recovered ? static_cast<ByteSource*>(&padded_) : &archive_, gate);
}

void DecodeRun(EntryRun& run, EntryPipeline& pipeline, DestinationAccess& destination,
               const std::atomic<bool>* stop) {
  std::size_t decoded = 0;
  for (EntryJob& job : run.jobs) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) break;
    DecodeEntry(job, pipeline, destination);
    ++decoded;
    // Nothing after such an entry is published: the rest is not begun.
    if (job.ending == EntryEnding::kFailed) break;
  }
  run.decoded = decoded;
  run.done.store(true, std::memory_order_release);
}

EntryRun* DecodeWorkers::TakeBack() {
  const std::lock_guard<std::mutex> hold(lock_);
  if (queue_.empty()) return nullptr;
  // The last one handed in: the workers take them from the front, the runs
  // needed first, and the two do not race for the same one.
  EntryRun* run = queue_.back();
  queue_.pop_back();
  return run;
}

bool DecodeWorkers::WaitDone(EntryRun& run, std::chrono::milliseconds wait) {
  if (run.done.load(std::memory_order_acquire)) return true;
  std::unique_lock<std::mutex> hold(lock_);
  waitedFor_ = &run;
  const std::uint64_t moves = moves_;
  done_.wait_for(hold, wait, [&] { return run.done.load(std::memory_order_acquire) || moves_ != moves; });
  waitedFor_ = nullptr;
  return run.done.load(std::memory_order_acquire);
}

void DecodeWorkers::Moved(const EntryRun& run) {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    if (waitedFor_ != &run) return;
    ++moves_;
  }
  done_.notify_all();
}

bool DecodeWorkers::Stop(const EntryRun* run) {
  bool queued = false;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    stop_.store(true, std::memory_order_relaxed);
    for (const EntryRun* waiting : queue_) queued = queued || waiting == run;
    queue_.clear();
  }
  more_.notify_all();
  return !queued;
}

void DecodeWorkers::Work() {
  WorkerGate gate(*this);
  CatalogPipeline reader(catalog_, &gate);
  EntryPipeline& pipeline = reader.pipeline;
  for (;;) {
    EntryRun* run = nullptr;
    {
      std::unique_lock<std::mutex> hold(lock_);
      more_.wait(hold, [this] { return stop_.load(std::memory_order_relaxed) || !queue_.empty(); });
      if (stop_.load(std::memory_order_relaxed)) break;
      run = queue_.front();
      queue_.pop_front();
    }
    gate.SetRun(run);
    DecodeRun(*run, pipeline, destination_, &stop_);
    gate.SetRun(nullptr);
    {
      // Taken after `done` is set: a waiter has either seen it or is waiting
      // to be woken.
      const std::lock_guard<std::mutex> hold(lock_);
    }
    done_.notify_all();
  }
}

}  // namespace vantelo
