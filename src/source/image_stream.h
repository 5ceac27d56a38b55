// A positioned byte stream over an image file. A plain file is read as it is.
// A gzip file is decompressed through zlib's gzip layer into an unlinked
// temporary file, only as far as reads have reached, so that a backward seek
// costs nothing and the whole image is decompressed at most once.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zanthrel {

class ImageStream {
 public:
  // Null when the file cannot be opened.
  static std::unique_ptr<ImageStream> Open(const std::string& path);
  ~ImageStream();
  ImageStream(const ImageStream&) = delete;
  ImageStream& operator=(const ImageStream&) = delete;

  // Up to `count` bytes from the current position: the count read (short at
  // the end of the data), or -1 on a read error.
  int64_t Read(void* destination, size_t count);
  // Positions never fail by themselves; a read past the end comes back short.
  void Seek(uint64_t position) { position_ = position; }
  uint64_t Tell() const { return position_; }

  // Copies up to `count` bytes from `position` on to the host file `output` at
  // its own position, inside the kernel where it can. Returns the bytes copied:
  // short at the end of the data or at the first failure, whichever side failed.
  uint64_t CopyTo(uint64_t position, uint64_t count, int output);

  // The same for data framed in sectors of `sectorSize` bytes that carry
  // `dataSize` bytes each from byte `dataOffset` on: copies `count` bytes of
  // that data, counted from data offset `from`, many sectors a read and one
  // gathered write for their data.
  struct Framing {
    uint32_t sectorSize;
    uint32_t dataOffset;
    uint32_t dataSize;
  };
  uint64_t CopyFramedTo(const Framing& framing, uint64_t from, uint64_t count, int output);

 private:
  ImageStream() = default;
  int64_t ReadAt(uint64_t position, void* destination, size_t count);
  // Decompresses until `end` bytes are spooled or the data ends.
  void SpoolTo(uint64_t end);

  int fd_ = -1;  // the plain file, or the spool of a gzip file
  bool compressed_ = false;
  gzFile gzip_ = nullptr;  // open while a gzip file is not yet spooled to its end
  uint64_t spooled_ = 0;
  std::vector<uint8_t> chunk_;   // decompression output on its way to the spool
  std::vector<uint8_t> framed_;  // whole sectors on their way to a host file
  uint64_t position_ = 0;
  std::vector<uint8_t> buffer_;
  uint64_t bufferStart_ = 0;
  size_t bufferLength_ = 0;
};

}  // namespace zanthrel
