// The threads that decode entries ahead of the batch's thread. Each has its
// own pipeline (input buffer, window, decoders) and its own reading position
// in the archive; they share only the read-only catalog and tables. Jobs are
// taken in the order they were handed in; the batch's thread waits for each
// in entry order and publishes it (batch_run.cpp).
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

namespace vantelo {

class DecodeWorkers {
 public:
  // Starts count threads decoding the catalog's entries; destination is
  // already open when files are written.
  DecodeWorkers(std::int32_t count, const Catalog& catalog, DestinationAccess& destination);
  DecodeWorkers(const DecodeWorkers&) = delete;
  DecodeWorkers& operator=(const DecodeWorkers&) = delete;
  // Stops and joins the threads: every job handed in is done or never begun.
  ~DecodeWorkers();

  void Submit(EntryJob& job);
  // Waits up to `wait` for the job to be decoded, or for it to move on (its
  // input refilled a few times: time for the batch's thread to show
  // progress); whether it is decoded.
  bool WaitDone(EntryJob& job, std::chrono::milliseconds wait);
  // The threads take no more jobs, and running ones stop at their next
  // refill. Whether `job` had been taken by a thread: if so it is done soon
  // (wait for it), else never begun.
  bool Stop(const EntryJob& job);
  void Stop();

 private:
  class WorkerGate;
  void Work();
  // A refill of `job`'s input: wakes the batch's thread now and then while
  // it waits for that job.
  void Moved(const EntryJob& job);

  const Catalog& catalog_;
  DestinationAccess& destination_;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::condition_variable more_;  // a job was handed in, or stop
  std::condition_variable done_;  // a job was decoded
  std::deque<EntryJob*> queue_;
  const EntryJob* waitedFor_ = nullptr;  // the job WaitDone waits for
  std::uint64_t moves_ = 0;              // refills of that job while waited for
  std::vector<std::thread> threads_;
};

}  // namespace vantelo
