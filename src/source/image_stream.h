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
  bool Compressed() const { return compressed_; }

 private:
  ImageStream() = default;
  int64_t ReadAt(uint64_t position, void* destination, size_t count);
  // Decompresses until `end` bytes are spooled or the data ends.
  void SpoolTo(uint64_t end);

  int fd_ = -1;  // the plain file, or the spool of a gzip file
  bool compressed_ = false;
  gzFile gzip_ = nullptr;  // open while a gzip file is not yet spooled to its end
  uint64_t spooled_ = 0;
  std::vector<uint8_t> chunk_;  // decompression output on its way to the spool
  uint64_t position_ = 0;
  std::vector<uint8_t> buffer_;
  uint64_t bufferStart_ = 0;
  size_t bufferLength_ = 0;
};

}  // namespace zanthrel
