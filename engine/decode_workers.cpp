#include "engine/decode_workers.h"

#include "engine/catalog.h"
#include "engine/pipeline/byte_source.h"
#include "engine/pipeline/entry_pipeline.h"

namespace vantelo {

// A worker's gate: stops a refill when the batch stops its workers, and tells
// the batch's thread every few refills of the job in hand.
class DecodeWorkers::WorkerGate final : public RefillGate {
 public:
  explicit WorkerGate(DecodeWorkers& workers) : workers_(workers) {}
  void SetJob(const EntryJob* job) {
    job_ = job;
    refills_ = 0;
  }
  EntryResult BeforeRefill() override {
    if (workers_.stop_.load(std::memory_order_relaxed)) return EntryResult::kUserBreak;
    // Every 128 KiB of input or so: often enough for a progress window, far
    // from every refill.
    if (job_ != nullptr && ++refills_ % 4 == 0) workers_.Moved(*job_);
    return EntryResult::kOk;
  }

 private:
  DecodeWorkers& workers_;
  const EntryJob* job_ = nullptr;
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

void DecodeWorkers::Submit(EntryJob& job) {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    queue_.push_back(&job);
  }
  more_.notify_one();
}

bool DecodeWorkers::WaitDone(EntryJob& job, std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> hold(lock_);
  waitedFor_ = &job;
  const std::uint64_t moves = moves_;
  done_.wait_for(hold, wait, [&] { return job.done.load(std::memory_order_acquire) || moves_ != moves; });
  waitedFor_ = nullptr;
  return job.done.load(std::memory_order_acquire);
}

void DecodeWorkers::Moved(const EntryJob& job) {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    if (waitedFor_ != &job) return;
    ++moves_;
  }
  done_.notify_all();
}

bool DecodeWorkers::Stop(const EntryJob& job) {
  bool queued = false;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    stop_.store(true, std::memory_order_relaxed);
    for (const EntryJob* waiting : queue_) queued = queued || waiting == &job;
    queue_.clear();
  }
  more_.notify_all();
  return !queued;
}

void DecodeWorkers::Stop() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    stop_.store(true, std::memory_order_relaxed);
    queue_.clear();
  }
  more_.notify_all();
}

void DecodeWorkers::Work() {
  EntryPipeline pipeline;
  FileSource archive(catalog_.archiveHandle);
  // A recovered archive may end right after an entry's stream, with nothing
  // behind it to read ahead into.
  ZeroPaddedSource padded(archive);
  WorkerGate gate(*this);
  pipeline.input.Connect(catalog_.recovered ? static_cast<ByteSource*>(&padded) : &archive, &gate);
  for (;;) {
    EntryJob* job = nullptr;
    {
      std::unique_lock<std::mutex> hold(lock_);
      more_.wait(hold, [this] { return stop_.load(std::memory_order_relaxed) || !queue_.empty(); });
      if (stop_.load(std::memory_order_relaxed)) break;
      job = queue_.front();
      queue_.pop_front();
    }
    gate.SetJob(job);
    DecodeEntry(*job, pipeline, destination_);
    gate.SetJob(nullptr);
    {
      const std::lock_guard<std::mutex> hold(lock_);
      job->done.store(true, std::memory_order_release);
    }
    done_.notify_all();
  }
  pipeline.input.Connect(nullptr, nullptr);
}

}  // namespace vantelo
