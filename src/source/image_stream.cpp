#include "source/image_stream.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zanthrel {

namespace {

constexpr size_t kBufferSize = 64 * 1024;
constexpr unsigned kGzipBufferSize = 128 * 1024;

int OpenSpoolFile() {
  const char* dir = std::getenv("TMPDIR");
  std::string folder = dir && *dir ? dir : "/tmp";
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  std::string pattern = folder + "/zanthrel-spool-XXXXXX";
  fd = ::mkstemp(pattern.data());
  if (fd >= 0) ::unlink(pattern.c_str());
  return fd;
}

int64_t ReadFully(int fd, uint64_t position, void* destination, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(fd, static_cast<uint8_t*>(destination) + done, count - done,
                        off_t(position + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return done > 0 ? int64_t(done) : -1;
    if (n == 0) break;
    done += size_t(n);
  }
  return int64_t(done);
}

bool WriteFully(int fd, uint64_t position, const uint8_t* source, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::pwrite(fd, source + done, count - done, off_t(position + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

}  // namespace

std::unique_ptr<ImageStream> ImageStream::Open(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  std::unique_ptr<ImageStream> stream(new ImageStream());
  uint8_t magic[2] = {0, 0};
  if (ReadFully(fd, 0, magic, 2) == 2 && magic[0] == 0x1F && magic[1] == 0x8B) {
    int spool = OpenSpoolFile();
    gzFile gzip = spool >= 0 ? gzdopen(fd, "rb") : nullptr;
    if (!gzip) {
      ::close(fd);
      if (spool >= 0) ::close(spool);
      return nullptr;
    }
    gzbuffer(gzip, kGzipBufferSize);
    stream->gzip_ = gzip;
    stream->fd_ = spool;
    stream->compressed_ = true;
    stream->chunk_.resize(kBufferSize);
  } else {
    stream->fd_ = fd;
  }
  stream->buffer_.resize(kBufferSize);
  return stream;
}

ImageStream::~ImageStream() {
  if (gzip_) gzclose(gzip_);
  if (fd_ >= 0) ::close(fd_);
}

void ImageStream::SpoolTo(uint64_t end) {
  if (!gzip_) return;
  while (spooled_ < end) {
    int n = gzread(gzip_, chunk_.data(), unsigned(chunk_.size()));
    // The end of the data, a corrupt stream or a full spool all end the image here.
    if (n <= 0 || !WriteFully(fd_, spooled_, chunk_.data(), size_t(n))) {
      gzclose(gzip_);
      gzip_ = nullptr;
      return;
    }
    spooled_ += uint64_t(n);
  }
}

int64_t ImageStream::ReadAt(uint64_t position, void* destination, size_t count) {
  if (compressed_) {
    SpoolTo(position + count);
    if (position >= spooled_) return 0;
    if (count > spooled_ - position) count = size_t(spooled_ - position);
  }
  return ReadFully(fd_, position, destination, count);
}

uint64_t ImageStream::CopyTo(uint64_t position, uint64_t count, int output) {
  if (compressed_) {
    SpoolTo(position + count);
    count = position >= spooled_ ? 0 : std::min(count, spooled_ - position);
  }
  uint64_t done = 0;
  bool inKernel = true;
  while (done < count) {
    const size_t want = size_t(std::min<uint64_t>(count - done, 1 << 30));
    ssize_t n;
    if (inKernel) {
      loff_t from = loff_t(position + done);
      n = ::copy_file_range(fd_, &from, output, nullptr, want, 0);
      if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
        inKernel = false;  // files that the kernel cannot copy between: through a buffer
        continue;
      }
    } else {
      n = ReadFully(fd_, position + done, buffer_.data(), std::min(want, buffer_.size()));
      bufferLength_ = 0;  // the buffer no longer holds what it held
      if (n > 0) {
        ssize_t written = ::write(output, buffer_.data(), size_t(n));
        if (written != n) return done + uint64_t(std::max<ssize_t>(written, 0));
      }
    }
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += uint64_t(n);
  }
  return done;
}

uint64_t ImageStream::CopyFramedTo(const Framing& framing, uint64_t from, uint64_t count,
                                   int output) {
  constexpr uint64_t kChunkSectors = 256;
  if (framed_.size() < kChunkSectors * framing.sectorSize) framed_.resize(kChunkSectors * framing.sectorSize);
  std::vector<iovec> pieces(kChunkSectors);
  uint64_t done = 0;
  while (done < count) {
    const uint64_t sector = (from + done) / framing.dataSize;
    uint64_t offset = (from + done) % framing.dataSize;
    const uint64_t wanted = (offset + (count - done) + framing.dataSize - 1) / framing.dataSize;
    const int64_t got = ReadAt(sector * framing.sectorSize, framed_.data(),
                               size_t(std::min(wanted, kChunkSectors) * framing.sectorSize));
    const uint64_t sectors = got > 0 ? uint64_t(got) / framing.sectorSize : 0;
    if (sectors == 0) break;
    uint64_t total = 0;
    for (uint64_t k = 0; k < sectors; ++k, offset = 0) {
      const uint64_t take = std::min<uint64_t>(framing.dataSize - offset, count - done - total);
      pieces[k].iov_base = framed_.data() + k * framing.sectorSize + framing.dataOffset + offset;
      pieces[k].iov_len = size_t(take);
      total += take;
    }
    ssize_t written;
    do {
      written = ::writev(output, pieces.data(), int(sectors));
    } while (written < 0 && errno == EINTR);
    if (written < 0) break;
    done += uint64_t(written);
    if (uint64_t(written) != total) break;
  }
  return done;
}

int64_t ImageStream::Read(void* destination, size_t count) {
  auto* out = static_cast<uint8_t*>(destination);
  size_t done = 0;
  while (done < count) {
    if (position_ >= bufferStart_ && position_ < bufferStart_ + bufferLength_) {
      size_t offset = size_t(position_ - bufferStart_);
      size_t n = std::min(count - done, bufferLength_ - offset);
      std::memcpy(out + done, buffer_.data() + offset, n);
      done += n;
      position_ += n;
      continue;
    }
    if (count - done >= kBufferSize) {
      int64_t n = ReadAt(position_, out + done, count - done);
      if (n < 0) return done > 0 ? int64_t(done) : -1;
      done += size_t(n);
      position_ += uint64_t(n);
      break;
    }
    int64_t n = ReadAt(position_, buffer_.data(), kBufferSize);
    if (n < 0) return done > 0 ? int64_t(done) : -1;
    bufferStart_ = position_;
    bufferLength_ = size_t(n);
    if (n == 0) break;
  }
  return int64_t(done);
}

}  // namespace zanthrel
