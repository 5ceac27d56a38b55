// Hunks compressed on every core: worker threads take the hunks in the
// order given, and the writer takes them back in that order once done. The
// caller bounds how many are in flight, so memory stays a few hunks a core.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "write/cd_hunk_encoder.h"

namespace zanthrel {

struct HunkJob {
  uint64_t number = 0;
  std::vector<uint8_t> hunk;
  bool audio = false;
  // An earlier hunk with the same bytes: nothing to compress.
  std::optional<uint64_t> copyOf;
  // Filled in by a worker.
  EncodedHunk encoded;
  uint16_t crc = 0;
};

class HunkPool {
 public:
  HunkPool(uint32_t framesPerHunk, size_t workers);
  // Stops the workers; jobs not taken back are dropped.
  ~HunkPool();
  HunkPool(const HunkPool&) = delete;
  HunkPool& operator=(const HunkPool&) = delete;

  void Submit(std::unique_ptr<HunkJob> job);
  // The oldest job submitted and not yet taken back, once it is done; null
  // when none is in flight.
  std::unique_ptr<HunkJob> TakeOldest();
  size_t InFlight();

 private:
  struct Slot {
    std::unique_ptr<HunkJob> job;
    bool started = false;
    bool done = false;
  };
  void Work(uint32_t framesPerHunk);

  std::mutex mutex_;
  std::condition_variable workArrived_, jobDone_;
  std::deque<Slot> slots_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace zanthrel
