// Host files written on a thread of their own while the walk reads on, so
// that creating and filling files overlaps reading the image. Steps run in
// the order given, one file after the other, and each step tells the log
// place that waits for its outcome; the bytes waiting to be written are
// bounded, so memory stays small whatever the image. When the thread falls
// behind, the caller makes the small files of its next batch itself instead
// of waiting: those are files of their own, whose outcomes still come back
// in the order given. Two steps for one path are never under way at once as
// long as the caller drains the queue before it writes a folder again.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "decompile/block_map.h"
#include "support/host.h"

namespace zanthrel {

// Bytes of a host file on their way, without the cost of zeroing them first.
struct WriteBytes {
  std::unique_ptr<uint8_t[]> data;
  size_t size = 0;
  size_t capacity = 0;  // the room `data` has
};

// One step of writing one host file: create it (the first step of a file),
// write bytes at an offset, close it (the last step). Once a step of a file
// fails, its later steps do nothing, as a sequential writer would stop.
struct WriteStep {
  // The file is `name` in `folder` (a full path, which failures name). The
  // folder is opened below `root`, the output folder held open for the run,
  // one name of `relative` at a time, so that no link is followed on the way;
  // an empty `relative` is `root` itself.
  const HostFolder* root = nullptr;
  std::string relative;
  std::string folder;
  std::string name;
  bool create = false;
  bool close = false;
  // With `close`: a stop cut the file short, and it is removed once closed.
  bool remove = false;
  uint64_t offset = 0;
  WriteBytes bytes;
  // The log places for the outcome of the create and of the write.
  uint64_t createPlace = 0;
  uint64_t writePlace = 0;
};

// A step done: the places it settles, and the failure, if it failed.
struct WriteOutcome {
  uint64_t createPlace = 0;
  uint64_t writePlace = 0;
  bool create = false;
  std::optional<FailedWrite> failure;
  bool failedAtCreate = false;
  // The file that a step with `remove` took away again, or tried to.
  std::optional<CutFile> cut;
};

class WriteQueue {
 public:
  WriteQueue(Host& host, size_t maxBytesWaiting);
  // Finishes every step given, then ends the thread.
  ~WriteQueue();
  WriteQueue(const WriteQueue&) = delete;
  WriteQueue& operator=(const WriteQueue&) = delete;

  // Room for at least `capacity` bytes, in a buffer that the thread has given
  // back where one fits: a buffer made on one thread and freed on the other
  // costs both threads more than the bytes it carries.
  WriteBytes Buffer(size_t capacity);
  // Steps are handed to the thread a batch at a time, so that it is not woken
  // for every small file; handing over waits while too many bytes wait already.
  void Add(WriteStep step);
  // The outcomes of steps done, in the order given: those known when steps
  // were last handed over, up to the first step not yet done then, or, after
  // Drain, of every step.
  std::vector<WriteOutcome> TakeOutcomes();
  // Waits until every step given is done.
  void Drain();

 private:
  // A step and its place in the order given.
  struct Numbered {
    uint64_t number;
    WriteStep step;
  };
  struct NumberedOutcome {
    uint64_t number;
    WriteOutcome outcome;
  };
  // The folder of the latest file, held open so that a file is made by its
  // name alone (one folder at a time, however deep the walk), the file being
  // written, whether it was made and whether it failed: the thread's, and
  // the caller's own.
  struct Writer {
    std::optional<HostFolder> folder;
    std::string relative;  // of `folder`
    HostFile current;
    bool currentMade = false;
    bool currentFailed = false;
  };

  void HandOver();
  // Whether the caller may make its batch itself: files of one step each,
  // whose outcomes would not wait too long for those of the thread.
  bool CallerCanWrite() const;
  // Makes the batch's files on the caller's thread.
  void WriteBatchHere();
  // Moves the outcomes and the buffers the thread has published to the
  // caller's; under the lock.
  void TakeDone();
  // Keeps a buffer written out for Buffer, where there is room.
  void KeepSpare(WriteBytes bytes);
  // Moves the outcomes whose every earlier step is done into `taken_`.
  void Release();
  void Work();
  WriteOutcome Do(WriteStep& step, Writer& writer);
  // The open folder of the step's file: the output folder itself, or the
  // writer's, opened anew when the file lies in another.
  Result<const HostFolder*> FolderOf(const WriteStep& step, Writer& writer);

  Host& host_;
  const size_t maxBytesWaiting_;
  // The caller's own: steps not yet handed over, the outcomes of steps done
  // but not yet taken, the caller's writer and spare buffers.
  std::vector<Numbered> batch_;
  size_t batchBytes_ = 0;
  uint64_t nextNumber_ = 0;
  uint64_t nextReleased_ = 0;
  std::deque<NumberedOutcome> doneByThread_;
  std::deque<NumberedOutcome> doneHere_;
  std::vector<WriteOutcome> taken_;
  Writer callerWriter_;
  // Buffers given back, by size class (4 KiB, 8 KiB, ... 256 KiB), and their bytes.
  static constexpr int kSizeClasses = 7;
  std::vector<std::unique_ptr<uint8_t[]>> spare_[kSizeClasses];
  size_t spareBytes_ = 0;
  std::mutex mutex_;
  std::condition_variable workGiven_;  // the thread waits for steps
  std::condition_variable workDone_;   // the caller waits for room or for the end
  std::deque<Numbered> steps_;
  std::vector<NumberedOutcome> outcomes_;
  std::vector<WriteBytes> returned_;  // buffers written out, not yet spare
  size_t bytesWaiting_ = 0;
  bool busy_ = false;  // the thread is doing a step taken off the queue
  bool idle_ = false;  // the thread waits for steps
  bool callerWaits_ = false;
  bool ending_ = false;
  Writer threadWriter_;  // the thread's own
  std::thread worker_;
};

}  // namespace zanthrel
