#include "compile/image_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zanthrel {

namespace {
constexpr size_t kFlushSize = 1 << 20;
}

ImageFile::ImageFile(HostFile file) : file_(std::move(file)) { pending_.reserve(kFlushSize); }

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
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::pwrite(file_.Handle(), bytes + done, count - done, off_t(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? std::strerror(errno) : "nothing written";
      return;
    }
    done += size_t(n);
  }
}

}  // namespace zanthrel
