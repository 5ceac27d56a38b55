// The image being written: 2048-byte blocks appended at the block cursor
// through a buffer, and whole blocks written at fixed places (the label, the
// boot slots) without moving the cursor. A full buffer is written on a thread
// of its own while the next one fills, so that reading the files overlaps
// writing the image. The first failed write is kept.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/host.h"

namespace zanthrel {

inline constexpr uint32_t kImageBlockSize = 2048;

class ImageFile {
 public:
  explicit ImageFile(const HostFile& file);
  // Waits for the write under way.
  ~ImageFile();
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;

  // Appends whole blocks at the cursor, at most 4 MiB.
  void Append(const uint8_t* blocks, size_t count);
  // Room for `bytes` bytes (at most 4 MiB) at the cursor, to read into and
  // then append with AppendSpace, without a copy through another buffer.
  uint8_t* Space(size_t bytes);
  // Appends the first `bytes` bytes of the room, padded with zeros to whole
  // blocks: the blocks appended.
  size_t AppendSpace(size_t bytes);
  // Appends up to `count` bytes of `from`, from `fromOffset` on, copied
  // inside the operating system: the bytes appended. A copy that comes out
  // whole is padded with zeros to whole blocks; one that stops short (where
  // `from` ends, or at a failure the caller's own reads will meet again)
  // keeps its whole blocks only. None once the system has said it cannot
  // copy into the image, which the caller then reads files into.
  uint64_t AppendCopyOf(const HostFile& from, uint64_t fromOffset, uint64_t count);
  // Writes whole blocks from block `first` on, after every block appended
  // before; the cursor stays.
  void WriteAt(uint32_t first, const uint8_t* blocks, size_t count);
  // Writes out what is buffered and waits until it is written; false once
  // any write has failed, and then Failure() tells why.
  bool Flush();

  int32_t Cursor() const { return cursor_; }
  const std::optional<Error>& Failure() const { return error_; }

 private:
  // Gives the buffered blocks to the writing thread, once it has written
  // the buffer before, and fills the other buffer meanwhile.
  void HandOver();
  // Waits until the writing thread has nothing left to write.
  void WaitForWriter();
  // Keeps the first failure, which the writing thread may meet at the same time.
  void Fail(const Error& error);
  void Work();

  const HostFile& file_;
  int32_t cursor_ = 0;
  // Blocks not yet handed over: pendingSize_ bytes of a buffer of kFlushSize.
  std::unique_ptr<uint8_t[]> pending_;
  size_t pendingSize_ = 0;
  bool copiesInside_ = true;  // until the system says it cannot
  // Shared with the writing thread, under the lock: the buffer it writes,
  // `writingSize_` bytes at `writingOffset_` (none when it is idle).
  std::mutex mutex_;
  std::condition_variable changed_;
  std::unique_ptr<uint8_t[]> writing_;
  uint64_t writingOffset_ = 0;
  size_t writingSize_ = 0;
  bool ending_ = false;
  std::optional<Error> error_;
  std::thread writer_;
};

// Pads the first `bytes` bytes of the buffer with zeros to whole blocks;
// returns the number of blocks. The buffer holds whole blocks.
size_t PadToBlocks(std::vector<uint8_t>& buffer, size_t bytes);

}  // namespace zanthrel
