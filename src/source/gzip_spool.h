// The inflated data of a gzip image, read at any position. Until the volume
// label is found only a short window of it is kept in memory (and what one
// read asks for), so that a file that inflates to gigabytes of nothing fills
// no disk, and a reader that goes through it once from the first byte needs
// no spool; from the label onward
// it is spooled into a scratch file, only as far as reads have reached, so
// that a backward seek costs nothing and nothing is inflated twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "source/gzip_inflater.h"
#include "support/host.h"
#include "support/progress.h"

namespace zanthrel {

class GzipSpool {
 public:
  // `searchProgress` hears of the compressed bytes inflated until KeepFrom.
  GzipSpool(HostFile compressed, uint64_t compressedSize, HostFile spool, Progress searchProgress);

  // Up to `count` bytes from `position`: the count read, short at the end of
  // the data; -1 for bytes that are no longer kept or a failed read.
  int64_t ReadAt(uint64_t position, void* destination, size_t count);
  // Copies up to `count` bytes from `position` on into `output`; the bytes copied.
  uint64_t CopyTo(uint64_t position, uint64_t count, const HostFile& output, uint64_t outputOffset);
  // Bytes before `position` are never read again: spooling starts there.
  Status KeepFrom(uint64_t position);
  // The inflated length, once spooling has started: the data is inflated to
  // its end to tell. None before, or when the spool filled up.
  std::optional<uint64_t> Length();
  // Why the data ended early through no fault of the image: a full spool.
  const std::optional<Error>& HostFailure() const { return hostFailure_; }

 private:
  // More inflated data into `chunk_`: its size, 0 at the end of the data.
  size_t Inflate();
  int64_t ReadWindow(uint64_t position, void* destination, size_t count);
  // Inflates until `end` bytes are spooled or the data ends.
  void SpoolTo(uint64_t end);

  std::unique_ptr<GzipInflater> inflater_;  // null once the data has ended
  uint64_t compressedSize_;
  HostFile spool_;
  Progress searchProgress_;
  std::vector<uint8_t> chunk_;
  bool spooling_ = false;
  // Before KeepFrom: inflated bytes [windowStart_, windowStart_ + window_.size()).
  std::vector<uint8_t> window_;
  uint64_t windowStart_ = 0;
  // After KeepFrom: bytes [spoolStart_, spooled_) stand in the spool from its offset 0.
  uint64_t spoolStart_ = 0;
  uint64_t spooled_ = 0;
  std::optional<Error> hostFailure_;
};

}  // namespace zanthrel
