// Decoded hunks of a CHD in a small cache. While the hunks are read one after
// another, the next few are decoded ahead on worker threads, in order, so
// that a sequential read keeps every core busy; a read elsewhere decodes its
// hunk on the spot, as a read without the cache would, and drops what was
// queued ahead and is no longer wanted.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "source/chd/chd_file.h"

namespace zanthrel {

class ChdHunkCache {
 public:
  struct Hunk {
    HunkCondition condition = HunkCondition::kUnreadable;
    // The hunk's bytes as decoded, hunkBytes of them, until the next Read;
    // null for a hunk past the end of the map.
    const uint8_t* bytes = nullptr;
  };

  // Decodes with `workers` threads besides the reader's (none: every hunk on
  // the spot), started by the first run of sequential reads. `chd` must
  // outlive the cache.
  ChdHunkCache(const ChdFile& chd, size_t workers);
  // Waits for the hunks being decoded; those queued are dropped.
  ~ChdHunkCache();
  ChdHunkCache(const ChdHunkCache&) = delete;
  ChdHunkCache& operator=(const ChdHunkCache&) = delete;

  // Hunk `number` (a copy as the hunk it copies). A hunk that did not come
  // out intact is decoded afresh when it is read again.
  Hunk Read(uint64_t number);

  // One worker a core; none on a single core, where a worker would only
  // take turns with the reader.
  static size_t WorkersForThisMachine();

 private:
  enum class State { kEmpty, kQueued, kDecoding, kDone };
  struct Slot {
    uint64_t hunk = 0;
    State state = State::kEmpty;
    HunkCondition condition = HunkCondition::kUnreadable;
    uint64_t lastRead = 0;
    std::vector<uint8_t> bytes;
  };

  void SetWindow(uint64_t number);
  size_t FindSlot(uint64_t hunk) const;
  size_t FreeSlot(uint64_t reading) const;
  bool InWindow(uint64_t hunk) const;
  void Claim(size_t slot, uint64_t hunk, State state);
  void QueueWindow(uint64_t reading);
  void Work();

  const ChdFile& chd_;
  size_t workerCount_;
  size_t ahead_;
  ChdCodecs codecs_;  // the reader's own

  // The reader's side, touched by its thread alone.
  uint64_t lastNumber_ = UINT64_MAX;
  uint64_t sequentialRun_ = 0;
  size_t current_;
  bool dropCurrent_ = false;
  uint64_t reads_ = 0;
  std::vector<uint64_t> window_;  // the hunks wanted next, sources of copies resolved

  std::mutex mutex_;
  std::condition_variable workQueued_, hunkDone_;
  std::vector<Slot> slots_;  // never resized, so workers may hold a slot's bytes
  std::deque<size_t> queue_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace zanthrel
