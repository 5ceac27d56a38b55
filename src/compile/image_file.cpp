#include "compile/image_file.h"

#include <algorithm>
#include <cerrno>

namespace zanthrel {

namespace {
// Few, large writes: the image goes out 4 MiB at a time.
constexpr size_t kFlushSize = 4 << 20;
}  // namespace

ImageFile::ImageFile(const HostFile& file)
    : file_(file),
      pending_(std::make_unique_for_overwrite<uint8_t[]>(kFlushSize)),
      writing_(std::make_unique_for_overwrite<uint8_t[]>(kFlushSize)),
      writer_([this] { Work(); }) {}

ImageFile::~ImageFile() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  changed_.notify_all();
  writer_.join();
}

void ImageFile::Append(const uint8_t* blocks, size_t count) {
  const size_t bytes = count * kImageBlockSize;
  std::copy(blocks, blocks + bytes, Space(bytes));
  AppendSpace(bytes);
}

uint8_t* ImageFile::Space(size_t bytes) {
  // Whole blocks: the room ends on a block boundary, for the padding.
  const size_t room = (bytes + kImageBlockSize - 1) / kImageBlockSize * kImageBlockSize;
  if (pendingSize_ + room > kFlushSize) HandOver();
  return pending_.get() + pendingSize_;
}

size_t ImageFile::AppendSpace(size_t bytes) {
  const size_t blocks = (bytes + kImageBlockSize - 1) / kImageBlockSize;
  uint8_t* start = pending_.get() + pendingSize_;
  std::fill(start + bytes, start + blocks * kImageBlockSize, 0);
  pendingSize_ += blocks * kImageBlockSize;
  cursor_ += int32_t(blocks);
  if (pendingSize_ >= kFlushSize) HandOver();
  return blocks;
}

uint64_t ImageFile::AppendCopyOf(const HostFile& from, uint64_t fromOffset, uint64_t count) {
  if (!copiesInside_) return 0;
  // The blocks buffered so far go to the writing thread; the copy lands behind them.
  HandOver();
  const uint64_t at = uint64_t(cursor_) * kImageBlockSize;
  uint64_t copied = 0;
  while (copied < count) {
    Result<size_t> n = from.CopySomeTo(fromOffset + copied, file_, at + copied, size_t(count - copied));
    if (!n) {
      // Between other file systems, say: the caller's reads do it from now on.
      if (n.Failure().code == ENOTSUP) copiesInside_ = false;
      break;
    }
    if (*n == 0) break;
    copied += *n;
  }
  if (copied < count) {
    // Whole blocks only: the caller's reads go on from the last one.
    copied -= copied % kImageBlockSize;
    cursor_ += int32_t(copied / kImageBlockSize);
    return copied;
  }
  const size_t pad = size_t((kImageBlockSize - copied % kImageBlockSize) % kImageBlockSize);
  if (pad > 0) {
    static const uint8_t kZeros[kImageBlockSize] = {};
    if (Status written = file_.WriteAt(at + copied, kZeros, pad); !written) Fail(written.Failure());
  }
  cursor_ += int32_t((copied + pad) / kImageBlockSize);
  return copied;
}

void ImageFile::WriteAt(uint32_t first, const uint8_t* blocks, size_t count) {
  // The blocks may lie over blocks appended before: those go first.
  if (!Flush()) return;
  if (Status written = file_.WriteAt(uint64_t(first) * kImageBlockSize, blocks, count * kImageBlockSize);
      !written) {
    Fail(written.Failure());
  }
}

void ImageFile::Fail(const Error& error) {
  std::lock_guard lock(mutex_);
  if (!error_) error_ = error;
}

bool ImageFile::Flush() {
  HandOver();
  WaitForWriter();
  return !error_;
}

void ImageFile::HandOver() {
  if (pendingSize_ == 0) return;
  WaitForWriter();
  {
    std::lock_guard lock(mutex_);
    writing_.swap(pending_);
    writingOffset_ = uint64_t(cursor_) * kImageBlockSize - pendingSize_;
    writingSize_ = pendingSize_;
  }
  changed_.notify_all();
  pendingSize_ = 0;
}

void ImageFile::WaitForWriter() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return writingSize_ == 0; });
}

void ImageFile::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return ending_ || writingSize_ > 0; });
    if (writingSize_ == 0) return;
    // After the first failure nothing more is written, as the run will say.
    if (!error_) {
      lock.unlock();
      Status written = file_.WriteAt(writingOffset_, writing_.get(), writingSize_);
      lock.lock();
      if (!written && !error_) error_ = written.Failure();
    }
    writingSize_ = 0;
    changed_.notify_all();
  }
}

size_t PadToBlocks(std::vector<uint8_t>& buffer, size_t bytes) {
  const size_t blocks = (bytes + kImageBlockSize - 1) / kImageBlockSize;
  std::fill(buffer.begin() + long(bytes), buffer.begin() + long(blocks * kImageBlockSize), 0);
  return blocks;
}

}  // namespace zanthrel
