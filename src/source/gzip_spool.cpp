#include "source/gzip_spool.h"

#include <algorithm>
#include <cstring>

namespace zanthrel {

namespace {
constexpr size_t kChunkSize = 64 * 1024;
// The window grows to its limit, then keeps its last part: the label search
// reads forward and looks back a few bytes only.
constexpr size_t kWindowLimit = 1 << 20;
constexpr size_t kWindowKept = 256 * 1024;
}  // namespace

GzipSpool::GzipSpool(HostFile compressed, uint64_t compressedSize, HostFile spool,
                     Progress searchProgress)
    : inflater_(std::make_unique<GzipInflater>(std::move(compressed))),
      compressedSize_(compressedSize),
      spool_(std::move(spool)),
      searchProgress_(std::move(searchProgress)),
      chunk_(kChunkSize) {}

size_t GzipSpool::Inflate() {
  if (!inflater_) return 0;
  const size_t n = inflater_->Read(chunk_.data(), chunk_.size());
  if (n == 0) inflater_.reset();
  return n;
}

int64_t GzipSpool::ReadWindow(uint64_t position, void* destination, size_t count) {
  if (position < windowStart_) return -1;
  while (windowStart_ + window_.size() < position + count) {
    const size_t n = Inflate();
    if (n == 0) break;
    window_.insert(window_.end(), chunk_.begin(), chunk_.begin() + long(n));
    if (window_.size() > kWindowLimit) {
      // Bytes this read still wants are kept, however long the read: a
      // reader that goes through the data once (convert) reads in long runs.
      const uint64_t keptFrom = std::min(position, windowStart_ + window_.size() - kWindowKept);
      const size_t dropped = size_t(keptFrom - windowStart_);
      window_.erase(window_.begin(), window_.begin() + long(dropped));
      windowStart_ += dropped;
    }
    if (searchProgress_ && inflater_) searchProgress_(inflater_->Consumed(), compressedSize_);
  }
  const uint64_t end = windowStart_ + window_.size();
  if (position >= end) return 0;
  const size_t n = size_t(std::min<uint64_t>(count, end - position));
  std::memcpy(destination, window_.data() + (position - windowStart_), n);
  return int64_t(n);
}

Status GzipSpool::KeepFrom(uint64_t position) {
  if (spooling_) return {};
  uint8_t probe;
  ReadWindow(position, &probe, 1);  // the window reaches the position, where the data does
  spooling_ = true;
  spoolStart_ = position;
  spooled_ = position;
  const uint64_t end = windowStart_ + window_.size();
  if (position < windowStart_ || position >= end) {
    // Nothing from the position on can be had: the data ends before it.
    inflater_.reset();
  } else {
    const size_t from = size_t(position - windowStart_);
    Status written = spool_.WriteAt(0, window_.data() + from, window_.size() - from);
    if (!written) {
      hostFailure_ = written.Failure();
      inflater_.reset();
      return written;
    }
    spooled_ = end;
  }
  window_ = {};
  return {};
}

void GzipSpool::SpoolTo(uint64_t end) {
  while (spooled_ < end) {
    const size_t n = Inflate();
    if (n == 0) return;
    // A full spool ends the data here, and it is the host's fault.
    Status written = spool_.WriteAt(spooled_ - spoolStart_, chunk_.data(), n);
    if (!written) {
      hostFailure_ = written.Failure();
      inflater_.reset();
      return;
    }
    spooled_ += n;
  }
}

std::optional<uint64_t> GzipSpool::Length() {
  if (!spooling_) return std::nullopt;
  SpoolTo(UINT64_MAX);
  if (hostFailure_) return std::nullopt;
  return spooled_;
}

int64_t GzipSpool::ReadAt(uint64_t position, void* destination, size_t count) {
  if (!spooling_) return ReadWindow(position, destination, count);
  if (position < spoolStart_) return -1;
  SpoolTo(position + count);
  if (position >= spooled_) return 0;
  count = size_t(std::min<uint64_t>(count, spooled_ - position));
  Result<size_t> n = spool_.ReadAt(position - spoolStart_, destination, count);
  return n ? int64_t(*n) : -1;
}

uint64_t GzipSpool::CopyTo(uint64_t position, uint64_t count, const HostFile& output,
                           uint64_t outputOffset) {
  if (!spooling_ || position < spoolStart_) return 0;
  SpoolTo(position + count);
  count = position >= spooled_ ? 0 : std::min(count, spooled_ - position);
  return CopyFileRange(spool_, position - spoolStart_, output, outputOffset, count).copied;
}

}  // namespace zanthrel
