// A positioned byte stream over an image file. A plain file is read as it is.
// A gzip file is inflated into a scratch file, only as far as reads have
// reached, so that a backward seek costs nothing and the whole image is
// inflated at most once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/host.h"
#include "support/result.h"

namespace zanthrel {

class GzipInflater;

class ImageStream {
 public:
  static Result<std::unique_ptr<ImageStream>> Open(Host& host, const std::string& path);
  ~ImageStream();
  ImageStream(const ImageStream&) = delete;
  ImageStream& operator=(const ImageStream&) = delete;

  // Up to `count` bytes from the current position: the count read (short at
  // the end of the data), or -1 on a read error.
  int64_t Read(void* destination, size_t count);
  // Positions never fail by themselves; a read past the end comes back short.
  void Seek(uint64_t position) { position_ = position; }
  uint64_t Tell() const { return position_; }
  // Why the data ended early through no fault of the image: the spool of a
  // gzip file could not be written.
  const std::optional<Error>& HostFailure() const { return hostFailure_; }

  // Copies up to `count` bytes from `position` on into `output` at
  // `outputOffset`, inside the operating system where it can. Returns the
  // bytes copied: short at the end of the data or at the first failure.
  uint64_t CopyTo(uint64_t position, uint64_t count, const HostFile& output, uint64_t outputOffset);

  // The same for data framed in sectors of `sectorSize` bytes that carry
  // `dataSize` bytes each from byte `dataOffset` on: copies `count` bytes of
  // that data, counted from data offset `from`, many sectors a read and one
  // write for their data.
  struct Framing {
    uint32_t sectorSize;
    uint32_t dataOffset;
    uint32_t dataSize;
  };
  uint64_t CopyFramedTo(const Framing& framing, uint64_t from, uint64_t count,
                        const HostFile& output, uint64_t outputOffset);

 private:
  explicit ImageStream(HostFile file);
  int64_t ReadAt(uint64_t position, void* destination, size_t count);
  // Inflates until `end` bytes are spooled or the data ends.
  void SpoolTo(uint64_t end);

  HostFile file_;  // the plain file, or the spool of a gzip file
  std::unique_ptr<GzipInflater> gzip_;  // while a gzip file is not yet spooled to its end
  bool compressed_ = false;
  uint64_t spooled_ = 0;
  std::optional<Error> hostFailure_;
  std::vector<uint8_t> inflated_;  // inflated data on its way to the spool
  std::vector<uint8_t> framed_;  // whole sectors on their way to a host file
  uint64_t position_ = 0;
  std::vector<uint8_t> buffer_;
  uint64_t bufferStart_ = 0;
  size_t bufferLength_ = 0;
};

}  // namespace zanthrel
