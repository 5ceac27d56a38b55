#include "compile/image_file.h"

#include <algorithm>

namespace zanthrel {

namespace {
// Few, large writes: the image goes out 4 MiB at a time.
constexpr size_t kFlushSize = 4 << 20;
}  // namespace

ImageFile::ImageFile(const HostFile& file)
    : file_(file), pending_(std::make_unique_for_overwrite<uint8_t[]>(kFlushSize)) {}

void ImageFile::Append(const uint8_t* blocks, size_t count) {
  const size_t bytes = count * kImageBlockSize;
  std::copy(blocks, blocks + bytes, Space(bytes));
  AppendSpace(bytes);
}

uint8_t* ImageFile::Space(size_t bytes) {
  // Whole blocks: the room ends on a block boundary, for the padding.
  const size_t room = (bytes + kImageBlockSize - 1) / kImageBlockSize * kImageBlockSize;
  if (pendingSize_ + room > kFlushSize) Flush();
  return pending_.get() + pendingSize_;
}

size_t ImageFile::AppendSpace(size_t bytes) {
  const size_t blocks = (bytes + kImageBlockSize - 1) / kImageBlockSize;
  uint8_t* start = pending_.get() + pendingSize_;
  std::fill(start + bytes, start + blocks * kImageBlockSize, 0);
  pendingSize_ += blocks * kImageBlockSize;
  cursor_ += int32_t(blocks);
  if (pendingSize_ >= kFlushSize) Flush();
  return blocks;
}

void ImageFile::WriteAt(uint32_t first, const uint8_t* blocks, size_t count) {
  Flush();
  Write(uint64_t(first) * kImageBlockSize, blocks, count * kImageBlockSize);
}

bool ImageFile::Flush() {
  if (pendingSize_ > 0) {
    const uint64_t start = (uint64_t(cursor_) * kImageBlockSize) - pendingSize_;
    Write(start, pending_.get(), pendingSize_);
    pendingSize_ = 0;
  }
  return !Failed();
}

void ImageFile::Write(uint64_t offset, const uint8_t* bytes, size_t count) {
  if (Failed()) return;
  if (Status written = file_.WriteAt(offset, bytes, count); !written) error_ = written.Failure();
}

size_t PadToBlocks(std::vector<uint8_t>& buffer, size_t bytes) {
  const size_t blocks = (bytes + kImageBlockSize - 1) / kImageBlockSize;
  std::fill(buffer.begin() + long(bytes), buffer.begin() + long(blocks * kImageBlockSize), 0);
  return blocks;
}

}  // namespace zanthrel
