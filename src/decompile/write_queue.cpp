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
  batch_.push_back({nextNumber_++, std::move(step)});
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
    if (CallerCanWrite()) {
      lock.unlock();
      WriteBatchHere();
      lock.lock();
      TakeDone();
      return;
    }
    callerWaits_ = true;
    workDone_.wait(lock, room);
    callerWaits_ = false;
  }
  bytesWaiting_ += batchBytes_;
  for (Numbered& step : batch_) steps_.push_back(std::move(step));
  batch_.clear();
  batchBytes_ = 0;
  TakeDone();
  const bool wake = idle_;
  lock.unlock();
  if (wake) workGiven_.notify_one();
}

bool WriteQueue::CallerCanWrite() const {
  return doneHere_.size() + batch_.size() <= kMaxStepsWaiting &&
         std::all_of(batch_.begin(), batch_.end(),
                     [](const Numbered& queued) { return queued.step.create && queued.step.close; });
}

void WriteQueue::WriteBatchHere() {
  for (Numbered& queued : batch_) {
    doneHere_.push_back({queued.number, Do(queued.step, callerWriter_)});
    if (queued.step.bytes.data) KeepSpare(std::move(queued.step.bytes));
  }
  batch_.clear();
  batchBytes_ = 0;
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

void WriteQueue::KeepSpare(WriteBytes bytes) {
  // As many spares as may wait to be written: enough to go round, and bounded.
  const int c = SizeClass(bytes.capacity, kSizeClasses);
  if (c < 0 || spareBytes_ + bytes.capacity > maxBytesWaiting_) return;
  spare_[c].push_back(std::move(bytes.data));
  spareBytes_ += bytes.capacity;
}

void WriteQueue::TakeDone() {
  for (WriteBytes& bytes : returned_) KeepSpare(std::move(bytes));
  returned_.clear();
  for (NumberedOutcome& outcome : outcomes_) doneByThread_.push_back(std::move(outcome));
  outcomes_.clear();
  Release();
}

void WriteQueue::Release() {
  // Both lists are in the order given; between them they hold every step
  // done, so the next outcome, once done, is at the front of one of them.
  for (;;) {
    std::deque<NumberedOutcome>* next = nullptr;
    for (std::deque<NumberedOutcome>* done : {&doneByThread_, &doneHere_}) {
      if (!done->empty() && done->front().number == nextReleased_) next = done;
    }
    if (!next) return;
    taken_.push_back(std::move(next->front().outcome));
    next->pop_front();
    ++nextReleased_;
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
  std::deque<Numbered> steps;
  std::vector<NumberedOutcome> outcomes;
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
    for (Numbered& queued : steps) {
      outcomes.push_back({queued.number, Do(queued.step, threadWriter_)});
      written += queued.step.bytes.size;
      if (queued.step.bytes.data) used.push_back(std::move(queued.step.bytes));
    }
    steps.clear();
    lock.lock();
    busy_ = false;
    bytesWaiting_ -= written;
    for (NumberedOutcome& outcome : outcomes) outcomes_.push_back(std::move(outcome));
    outcomes.clear();
    for (WriteBytes& bytes : used) returned_.push_back(std::move(bytes));
    used.clear();
    if (callerWaits_) workDone_.notify_one();
  }
}

Result<const HostFolder*> WriteQueue::FolderOf(const WriteStep& step, Writer& writer) {
  if (step.relative.empty()) return step.root;
  if (!writer.folder || writer.relative != step.relative) {
    writer.folder.reset();
    Result<HostFolder> opened = OpenFolderBelow(host_, *step.root, step.relative);
    if (!opened) return opened.Failure();
    writer.folder = std::move(*opened);
    writer.relative = step.relative;
  }
  return &*writer.folder;
}

WriteOutcome WriteQueue::Do(WriteStep& step, Writer& writer) {
  WriteOutcome outcome{step.createPlace, step.writePlace, step.create, std::nullopt, false, std::nullopt};
  if (step.create) {
    writer.current = {};
    writer.currentMade = false;
    writer.currentFailed = false;
    Result<const HostFolder*> folder = FolderOf(step, writer);
    Result<HostFile> created = folder ? host_.CreateFileIn(**folder, step.name) : folder.Failure();
    if (created) {
      writer.current = std::move(*created);
      writer.currentMade = true;
    } else {
      writer.currentFailed = true;
      outcome.failure = FailedWrite{JoinPath(step.folder, step.name), created.Failure()};
      outcome.failedAtCreate = true;
    }
  }
  if (!writer.currentFailed && step.bytes.size > 0) {
    Status written = writer.current.WriteAt(step.offset, step.bytes.data.get(), step.bytes.size);
    if (!written) {
      writer.currentFailed = true;
      outcome.failure = FailedWrite{writer.current.Path(), written.Failure()};
    }
  }
  if (step.close) {
    writer.current = {};
    // Only a file this writer made is removed: what stood in its place stays.
    if (step.remove && writer.currentMade) {
      Result<const HostFolder*> folder = FolderOf(step, writer);
      Status removed = folder ? host_.RemoveFileIn(**folder, step.name) : Status(folder.Failure());
      outcome.cut = CutFile{JoinPath(step.folder, step.name), std::nullopt};
      if (!removed) outcome.cut->notRemoved = removed.Failure();
    }
  }
  return outcome;
}

}  // namespace zanthrel
