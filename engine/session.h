// The engine's session: the open catalog, the user's marks on its entries
// (selection, the last verdicts), the last error and what the last batch did.
// The procedures of engine.h are a thin layer over one default session.
//
// Threads: batches are started from one thread. While one runs, GetProgress,
// RequestBreak and the catalog queries may be called from another: the
// counters, the break request and the verdicts are atomic, and the catalog
// does not change during a batch.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/catalog.h"
#include "engine/pipeline/entry_result.h"

namespace vantelo {

// Per entry of the catalog: whether the user selected it, and the verdict
// (a kStatus text) of the last batch that finished it.
class EntryMarks {
 public:
  // count entries, none selected, none with a verdict.
  void Reset(std::size_t count);
  std::size_t size() const { return selected_.size(); }
  bool Selected(std::size_t index) const { return selected_[index] != 0; }
  void Select(std::size_t index, bool value) { selected_[index] = value ? 1 : 0; }
  const char* Verdict(std::size_t index) const { return verdicts_[index].load(std::memory_order_relaxed); }
  void SetVerdict(std::size_t index, const char* verdict) {
    verdicts_[index].store(verdict, std::memory_order_relaxed);
  }
  void Swap(EntryMarks& other) noexcept {
    selected_.swap(other.selected_);
    verdicts_.swap(other.verdicts_);
  }

 private:
  std::vector<std::uint8_t> selected_;
  std::unique_ptr<std::atomic<const char*>[]> verdicts_;
};

// What a batch has done so far, in entry order: entries finished, their bytes
// and the skipped ones. Written by the batch's thread, read from any.
struct BatchCounters {
  std::atomic<std::int32_t> filesDone{0};
  std::atomic<ZipSize> bytesDone{0};
  std::atomic<std::int32_t> skipped{0};
};

struct Session {
  Catalog catalog;
  EntryMarks marks;
  std::string nameCharset;  // the user's setting ("" automatic), canonical

  // The last error: its number and message.
  std::int32_t errorNo = 0;
  std::string errorMessage;

  // The running or last batch.
  BatchCounters counters;
  std::int32_t stoppedEntry = -1;  // the entry an error stopped it at
  bool stoppedForMethod = false;   // that error was the entry's refused method
  std::atomic<bool> userBreak{false};
  std::int32_t threadCount = 0;    // SetThreadCount's setting; 0: the processor's
  // The threads a batch uses: the setting, or the processor's (at most kMaxThreads).
  std::int32_t Threads() const;

  // Takes catalog as the open one (the previous one closes), with fresh marks.
  void Commit(Catalog&& opened);
  // Sets the error of a failure; a result that is none clears it.
  void SetFailure(const FailureText& failure);
  void ClearError() { SetFailure(FailureText{}); }
};

// The session the procedures of engine.h work on, made on first use.
Session& DefaultSession();

}  // namespace vantelo
