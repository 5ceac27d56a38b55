#include "source/chd/chd_hunk_cache.h"

#include <algorithm>

namespace zanthrel {

namespace {

// Reads of this many hunks in a row, each the one after the last, start the
// decoding ahead: a walk of the volume jumps now and then, a mount mostly.
constexpr uint64_t kRunBeforeAhead = 2;
// Enough that a worker never idles while the reader takes a hunk.
constexpr size_t kAheadPerWorker = 4;
// The cache's hunks, whatever their size; a CD CHD's hunks are 19,584 bytes,
// so this bounds only CHDs made with far larger ones.
constexpr size_t kCacheBytes = size_t(8) << 20;
constexpr size_t kMinSlots = 4;

}  // namespace

ChdHunkCache::ChdHunkCache(const ChdFile& chd, size_t workers) : chd_(chd), codecs_(chd.MakeCodecs()) {
  const size_t budget = std::max(kCacheBytes / chd.Header().hunkBytes, kMinSlots);
  workerCount_ = std::min(workers, (budget - 2) / 3);
  ahead_ = std::min(workerCount_ * kAheadPerWorker, budget - workerCount_ - 2);
  // Besides the hunks ahead: the one read, one that a worker may still be
  // decoding for each worker after a jump, and the hunk read before.
  slots_.resize(ahead_ + workerCount_ + 2);
  current_ = slots_.size();
}

ChdHunkCache::~ChdHunkCache() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  workQueued_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

size_t ChdHunkCache::WorkersForThisMachine() {
  // On one core a worker would only take turns with the reader.
  const size_t cores = std::thread::hardware_concurrency();
  return cores > 1 ? cores : 0;
}

ChdHunkCache::Hunk ChdHunkCache::Read(uint64_t number) {
  if (number >= chd_.Map().size()) return {};
  // The hunk just read, as each of its frames asks for it: no worker touches
  // a slot that is done, so no lock is needed.
  if (number == lastNumber_ && !dropCurrent_) return {slots_[current_].condition, slots_[current_].bytes.data()};

  std::unique_lock lock(mutex_);
  if (dropCurrent_) slots_[current_].state = State::kEmpty;
  dropCurrent_ = false;
  sequentialRun_ = number == lastNumber_ + 1 ? sequentialRun_ + 1 : number == lastNumber_ ? sequentialRun_ : 0;
  lastNumber_ = number;
  const uint64_t hunk = chd_.SourceOf(number);
  SetWindow(number);
  // Hunks being decoded finish into the cache; those not started are dropped.
  for (Slot& slot : slots_) {
    if (slot.state == State::kQueued && slot.hunk != hunk && !InWindow(slot.hunk)) slot.state = State::kEmpty;
  }
  size_t at = FindSlot(hunk);
  bool decodeHere = true;
  if (at == slots_.size()) {
    at = FreeSlot(hunk);
    Claim(at, hunk, State::kDecoding);
  } else if (slots_[at].state == State::kQueued) {
    // Not started yet: the reader would only wait, so it decodes it itself.
    slots_[at].state = State::kDecoding;
  } else {
    decodeHere = false;
  }
  current_ = at;
  slots_[at].lastRead = ++reads_;
  QueueWindow(hunk);

  Slot& slot = slots_[at];
  if (decodeHere) {
    lock.unlock();
    const HunkCondition condition = chd_.Decode(codecs_, hunk, slot.bytes.data());
    lock.lock();
    slot.condition = condition;
    slot.state = State::kDone;
  } else {
    hunkDone_.wait(lock, [&] { return slot.state == State::kDone; });
  }
  // A hunk that failed is not kept, so that reading it again tries again.
  dropCurrent_ = slot.condition != HunkCondition::kIntact;
  return {slot.condition, slot.bytes.data()};
}

void ChdHunkCache::SetWindow(uint64_t number) {
  window_.clear();
  if (workerCount_ == 0 || sequentialRun_ < kRunBeforeAhead) return;
  const uint64_t end = std::min<uint64_t>(number + 1 + ahead_, chd_.Map().size());
  for (uint64_t next = number + 1; next < end; ++next) window_.push_back(chd_.SourceOf(next));
}

size_t ChdHunkCache::FindSlot(uint64_t hunk) const {
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].state != State::kEmpty && slots_[i].hunk == hunk) return i;
  }
  return slots_.size();
}

bool ChdHunkCache::InWindow(uint64_t hunk) const {
  return std::find(window_.begin(), window_.end(), hunk) != window_.end();
}

// An empty slot, else the least recently read of the hunks done that are
// neither `reading`, nor the current one, nor wanted ahead; none when all are
// taken. There are enough slots that the hunk read always finds one.
size_t ChdHunkCache::FreeSlot(uint64_t reading) const {
  size_t best = slots_.size();
  for (size_t i = 0; i < slots_.size(); ++i) {
    const Slot& slot = slots_[i];
    if (slot.state == State::kEmpty) return i;
    if (slot.state != State::kDone || i == current_ || slot.hunk == reading || InWindow(slot.hunk)) continue;
    if (best == slots_.size() || slot.lastRead < slots_[best].lastRead) best = i;
  }
  return best;
}

void ChdHunkCache::Claim(size_t at, uint64_t hunk, State state) {
  Slot& slot = slots_[at];
  slot.hunk = hunk;
  slot.state = state;
  slot.lastRead = reads_;
  if (slot.bytes.empty()) slot.bytes.resize(chd_.Header().hunkBytes);
}

// Queues the hunks of the window not yet in the cache, in order, as far as
// slots allow, and hands the workers the queue afresh.
void ChdHunkCache::QueueWindow(uint64_t reading) {
  for (uint64_t hunk : window_) {
    if (FindSlot(hunk) != slots_.size()) continue;
    const size_t at = FreeSlot(reading);
    if (at == slots_.size()) break;
    Claim(at, hunk, State::kQueued);
  }
  queue_.clear();
  for (uint64_t hunk : window_) {
    const size_t at = FindSlot(hunk);
    if (at < slots_.size() && slots_[at].state == State::kQueued &&
        std::find(queue_.begin(), queue_.end(), at) == queue_.end()) {
      queue_.push_back(at);
    }
  }
  if (queue_.empty()) return;
  while (workers_.size() < workerCount_) workers_.emplace_back([this] { Work(); });
  workQueued_.notify_all();
}

void ChdHunkCache::Work() {
  ChdCodecs codecs = chd_.MakeCodecs();
  std::unique_lock lock(mutex_);
  for (;;) {
    workQueued_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    // The queue holds only slots still queued, each once.
    Slot& slot = slots_[queue_.front()];
    queue_.pop_front();
    slot.state = State::kDecoding;
    const uint64_t hunk = slot.hunk;
    lock.unlock();
    const HunkCondition condition = chd_.Decode(codecs, hunk, slot.bytes.data());
    lock.lock();
    slot.condition = condition;
    slot.state = State::kDone;
    hunkDone_.notify_all();
  }
}

}  // namespace zanthrel
