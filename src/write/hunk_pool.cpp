#include "write/hunk_pool.h"

#include "source/chd/crc16.h"

namespace zanthrel {

HunkPool::HunkPool(uint32_t framesPerHunk, size_t workers) {
  for (size_t i = 0; i < workers; ++i) workers_.emplace_back([this, framesPerHunk] { Work(framesPerHunk); });
}

HunkPool::~HunkPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  workArrived_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void HunkPool::Submit(std::unique_ptr<HunkJob> job) {
  {
    std::lock_guard lock(mutex_);
    const bool done = job->copyOf.has_value();
    slots_.push_back({std::move(job), done, done});
  }
  workArrived_.notify_one();
}

std::unique_ptr<HunkJob> HunkPool::TakeOldest() {
  std::unique_lock lock(mutex_);
  if (slots_.empty()) return nullptr;
  jobDone_.wait(lock, [this] { return slots_.front().done; });
  std::unique_ptr<HunkJob> job = std::move(slots_.front().job);
  slots_.pop_front();
  return job;
}

size_t HunkPool::InFlight() {
  std::lock_guard lock(mutex_);
  return slots_.size();
}

void HunkPool::Work(uint32_t framesPerHunk) {
  CdHunkEncoder encoder(framesPerHunk);
  std::unique_lock lock(mutex_);
  for (;;) {
    Slot* next = nullptr;
    workArrived_.wait(lock, [&] {
      if (stopping_) return true;
      for (Slot& slot : slots_) {
        if (!slot.started) {
          next = &slot;
          return true;
        }
      }
      return false;
    });
    if (!next) return;
    next->started = true;
    HunkJob* job = next->job.get();
    lock.unlock();
    job->crc = Crc16(job->hunk.data(), job->hunk.size());
    encoder.Encode(job->hunk.data(), job->audio, job->encoded);
    lock.lock();
    // The slot may have moved in the deque, but not the job it holds.
    for (Slot& slot : slots_) {
      if (slot.job.get() == job) slot.done = true;
    }
    jobDone_.notify_all();
  }
}

}  // namespace zanthrel
