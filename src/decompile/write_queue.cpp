#include "decompile/write_queue.h"

#include <algorithm>

#include "support/text.h"

namespace zanthrel {

namespace {
// Steps of empty files carry no bytes; their count is bounded too, and so are
// the log places that wait for them.
constexpr size_t kMaxStepsWaiting = 256;
constexpr size_t kBatchSteps = 32;
constexpr size_t kBatchBytes = 512 * 1024;
constexpr size_t kSmallestBuffer = 4096;

// The size class of buffers of at least `capacity` bytes; -1 past the largest.
int SizeClass(size_t capacity, int classes) {
  for (int c = 0; c < classes; ++c) {
    if ((kSmallestBuffer << c) >= capacity) return c;
  }
  return -1;
}
}  // namespace

WriteQueue::WriteQueue(Host& host, size_t maxBytesWaiting)
    : host_(host), maxBytesWaiting_(maxBytesWaiting), worker_([this] { Work(); }) {}

WriteQueue::~WriteQueue() {
  HandOver();
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  workGiven_.notify_one();
  worker_.join();
}

void WriteQueue::Add(WriteStep step) {
  batchBytes_ += step.bytes.size;
  batch_.push_back(std::move(step));
  if (batch_.size() >= kBatchSteps || batchBytes_ >= kBatchBytes) HandOver();
}

void WriteQueue::HandOver() {
  if (batch_.empty()) return;
  std::unique_lock lock(mutex_);
  // A batch alone may pass the bound, or it could never be written.
  auto room = [&] {
    return steps_.size() + batch_.size() <= kMaxStepsWaiting &&
           (bytesWaiting_ == 0 || bytesWaiting_ + batchBytes_ <= maxBytesWaiting_);
  };
  if (!room()) {
    callerWaits_ = true;
    workDone_.wait(lock, room);
    callerWaits_ = false;
  }
  bytesWaiting_ += batchBytes_;
  for (WriteStep& step : batch_) steps_.push_back(std::move(step));
  batch_.clear();
  batchBytes_ = 0;
  TakeDone();
  const bool wake = idle_;
  lock.unlock();
  if (wake) workGiven_.notify_one();
}

WriteBytes WriteQueue::Buffer(size_t capacity) {
  const int c = SizeClass(capacity, kSizeClasses);
  if (c < 0) return {std::make_unique_for_overwrite<uint8_t[]>(capacity), 0, capacity};
  const size_t classBytes = kSmallestBuffer << c;
  std::vector<std::unique_ptr<uint8_t[]>>& spares = spare_[c];
  if (spares.empty()) return {std::make_unique_for_overwrite<uint8_t[]>(classBytes), 0, classBytes};
  WriteBytes buffer{std::move(spares.back()), 0, classBytes};
  spares.pop_back();
  spareBytes_ -= classBytes;
  return buffer;
}

void WriteQueue::TakeDone() {
  // As many spares as may wait to be written: enough to go round, and bounded.
  for (WriteBytes& bytes : returned_) {
    const int c = SizeClass(bytes.capacity, kSizeClasses);
    if (c < 0 || spareBytes_ + bytes.capacity > maxBytesWaiting_) continue;
    spare_[c].push_back(std::move(bytes.data));
    spareBytes_ += bytes.capacity;
  }
  returned_.clear();
  if (taken_.empty()) {
    taken_.swap(outcomes_);
  } else {
    for (WriteOutcome& outcome : outcomes_) taken_.push_back(std::move(outcome));
    outcomes_.clear();
  }
}

std::vector<WriteOutcome> WriteQueue::TakeOutcomes() {
  std::vector<WriteOutcome> taken;
  taken.swap(taken_);
  return taken;
}

void WriteQueue::Drain() {
  HandOver();
  std::unique_lock lock(mutex_);
  callerWaits_ = true;
  workDone_.wait(lock, [&] { return steps_.empty() && !busy_; });
  callerWaits_ = false;
  TakeDone();
}

void WriteQueue::Work() {
  std::unique_lock lock(mutex_);
  std::deque<WriteStep> steps;
  std::vector<WriteOutcome> outcomes;
  std::vector<WriteBytes> used;
  for (;;) {
    if (steps_.empty() && !ending_) {
      idle_ = true;
      workGiven_.wait(lock, [&] { return ending_ || !steps_.empty(); });
      idle_ = false;
    }
    if (steps_.empty()) return;
    // Up to a batch of steps at once: one lock for many small files, yet
    // room for the caller is made as each batch is done.
    const size_t count = std::min(steps_.size(), kBatchSteps);
    for (size_t i = 0; i < count; ++i) {
      steps.push_back(std::move(steps_.front()));
      steps_.pop_front();
    }
    busy_ = true;
    lock.unlock();
    size_t written = 0;
    for (WriteStep& step : steps) {
      outcomes.push_back(Do(step));
      written += step.bytes.size;
      if (step.bytes.data) used.push_back(std::move(step.bytes));
    }
    steps.clear();
    lock.lock();
    busy_ = false;
    bytesWaiting_ -= written;
    for (WriteOutcome& outcome : outcomes) outcomes_.push_back(std::move(outcome));
    outcomes.clear();
    for (WriteBytes& bytes : used) returned_.push_back(std::move(bytes));
    used.clear();
    if (callerWaits_) workDone_.notify_one();
  }
}

WriteOutcome WriteQueue::Do(WriteStep& step) {
  WriteOutcome outcome{step.createPlace, step.writePlace, step.create, std::nullopt, false};
  if (step.create) {
    current_ = {};
    currentFailed_ = false;
    if (folder_.path != step.folder) folder_ = host_.OpenFolder(step.folder);
    Result<HostFile> created = host_.CreateFileIn(folder_, step.name);
    if (created) {
      current_ = std::move(*created);
    } else {
      currentFailed_ = true;
      outcome.failure = FailedWrite{JoinPath(step.folder, step.name), created.Failure()};
      outcome.failedAtCreate = true;
    }
  }
  if (!currentFailed_ && step.bytes.size > 0) {
    Status written = current_.WriteAt(step.offset, step.bytes.data.get(), step.bytes.size);
    if (!written) {
      currentFailed_ = true;
      outcome.failure = FailedWrite{current_.Path(), written.Failure()};
    }
  }
  if (step.close) current_ = {};
  return outcome;
}

}  // namespace zanthrel
