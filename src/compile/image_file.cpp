#include "compile/image_file.h"

#include <algorithm>

namespace zanthrel {

namespace {
constexpr size_t kFlushSize = 1 << 20;
}

ImageFile::ImageFile(const HostFile& file) : file_(file) { pending_.reserve(kFlushSize); }

void ImageFile::Append(const uint8_t* blocks, size_t count) {
  pending_.insert(pending_.end(), blocks, blocks + count * kImageBlockSize);
  cursor_ += int32_t(count);
  if (pending_.size() >= kFlushSize) Flush();
}

void ImageFile::WriteAt(uint32_t first, const uint8_t* blocks, size_t count) {
  Flush();
  Write(uint64_t(first) * kImageBlockSize, blocks, count * kImageBlockSize);
}

bool ImageFile::Flush() {
  if (!pending_.empty()) {
    const uint64_t start = (uint64_t(cursor_) * kImageBlockSize) - pending_.size();
    Write(start, pending_.data(), pending_.size());
    pending_.clear();
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
