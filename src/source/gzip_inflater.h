// Inflates a gzip file, of one member or several, read through the host door.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/host.h"

namespace zanthrel {

// Whether `bytes` start with the magic of a gzip member (1F 8B).
inline bool HasGzipMagic(const uint8_t* bytes, size_t length) {
  return length >= 2 && bytes[0] == 0x1F && bytes[1] == 0x8B;
}

class GzipInflater {
 public:
  explicit GzipInflater(HostFile file);
  ~GzipInflater();
  GzipInflater(const GzipInflater&) = delete;
  GzipInflater& operator=(const GzipInflater&) = delete;

  // Up to `count` bytes of inflated data: the count, which is 0 only at the
  // end of the data. Corrupt data, a read error or bytes after the last member
  // that start no new member all end the data there.
  size_t Read(uint8_t* destination, size_t count);
  // Compressed bytes taken in so far.
  uint64_t Consumed() const { return offset_ - stream_.avail_in; }

 private:
  // More compressed bytes; false at the end of the file or on a read error.
  bool Refill();
  // After a member: true when another member follows.
  bool NextMember();

  HostFile file_;
  uint64_t offset_ = 0;
  std::vector<uint8_t> input_;
  z_stream stream_{};
  bool ready_ = false;
  bool ended_ = false;
};

}  // namespace zanthrel
