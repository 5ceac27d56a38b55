// The image being written: 2048-byte blocks appended at the block cursor
// through a buffer, and whole blocks written at fixed places (the label, the
// boot slots) without moving the cursor. The first failed write is kept.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/host.h"

namespace zanthrel {

inline constexpr uint32_t kImageBlockSize = 2048;

class ImageFile {
 public:
  explicit ImageFile(const HostFile& file);
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
  // Writes whole blocks from block `first` on; the cursor stays.
  void WriteAt(uint32_t first, const uint8_t* blocks, size_t count);
  // Writes out what is buffered; false once any write has failed.
  bool Flush();

  int32_t Cursor() const { return cursor_; }
  bool Failed() const { return error_.has_value(); }
  const std::optional<Error>& Failure() const { return error_; }

 private:
  void Write(uint64_t offset, const uint8_t* bytes, size_t count);

  const HostFile& file_;
  int32_t cursor_ = 0;
  // Blocks not yet written: pendingSize_ bytes of a buffer of kFlushSize.
  std::unique_ptr<uint8_t[]> pending_;
  size_t pendingSize_ = 0;
  std::optional<Error> error_;
};

// Pads the first `bytes` bytes of the buffer with zeros to whole blocks;
// returns the number of blocks. The buffer holds whole blocks.
size_t PadToBlocks(std::vector<uint8_t>& buffer, size_t bytes);

}  // namespace zanthrel
