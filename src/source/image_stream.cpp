#include "source/image_stream.h"

#include <algorithm>
#include <cstring>

#include "source/gzip_inflater.h"

namespace zanthrel {

namespace {
constexpr size_t kBufferSize = 64 * 1024;
}  // namespace

ImageStream::ImageStream(HostFile file) : file_(std::move(file)), buffer_(kBufferSize) {}

ImageStream::~ImageStream() = default;

Result<std::unique_ptr<ImageStream>> ImageStream::Open(Host& host, const std::string& path) {
  Result<HostFile> file = host.OpenFile(path);
  if (!file) return file.Failure();
  uint8_t magic[2] = {0, 0};
  Result<size_t> head = file->ReadAt(0, magic, 2);
  if (!head) return head.Failure();
  if (*head < 2 || magic[0] != 0x1F || magic[1] != 0x8B) {
    return std::unique_ptr<ImageStream>(new ImageStream(std::move(*file)));
  }
  Result<HostFile> spool = host.CreateScratchFile();
  if (!spool) return spool.Failure();
  std::unique_ptr<ImageStream> stream(new ImageStream(std::move(*spool)));
  stream->gzip_ = std::make_unique<GzipInflater>(std::move(*file));
  stream->inflated_.resize(kBufferSize);
  stream->compressed_ = true;
  return stream;
}

void ImageStream::SpoolTo(uint64_t end) {
  while (gzip_ && spooled_ < end) {
    const size_t n = gzip_->Read(inflated_.data(), inflated_.size());
    // The end of the data, a corrupt stream or a full spool all end the image
    // here; only the last is the host's fault.
    Status written = n == 0 ? Status() : file_.WriteAt(spooled_, inflated_.data(), n);
    if (!written) hostFailure_ = written.Failure();
    if (n == 0 || !written) {
      gzip_.reset();
      return;
    }
    spooled_ += n;
  }
}

int64_t ImageStream::ReadAt(uint64_t position, void* destination, size_t count) {
  if (compressed_) {
    SpoolTo(position + count);
    if (position >= spooled_) return 0;
    if (count > spooled_ - position) count = size_t(spooled_ - position);
  }
  Result<size_t> n = file_.ReadAt(position, destination, count);
  return n ? int64_t(*n) : -1;
}

uint64_t ImageStream::CopyTo(uint64_t position, uint64_t count, const HostFile& output,
                             uint64_t outputOffset) {
  if (compressed_) {
    SpoolTo(position + count);
    count = position >= spooled_ ? 0 : std::min(count, spooled_ - position);
  }
  return CopyFileRange(file_, position, output, outputOffset, count).copied;
}

uint64_t ImageStream::CopyFramedTo(const Framing& framing, uint64_t from, uint64_t count,
                                   const HostFile& output, uint64_t outputOffset) {
  constexpr uint64_t kChunkSectors = 256;
  if (framed_.size() < kChunkSectors * framing.sectorSize) {
    framed_.resize(kChunkSectors * framing.sectorSize);
  }
  uint64_t done = 0;
  while (done < count) {
    const uint64_t sector = (from + done) / framing.dataSize;
    uint64_t offset = (from + done) % framing.dataSize;
    const uint64_t wanted = (offset + (count - done) + framing.dataSize - 1) / framing.dataSize;
    const int64_t got = ReadAt(sector * framing.sectorSize, framed_.data(),
                               size_t(std::min(wanted, kChunkSectors) * framing.sectorSize));
    const uint64_t sectors = got > 0 ? uint64_t(got) / framing.sectorSize : 0;
    if (sectors == 0) break;
    // Gather the sectors' data at the front of the buffer, in place: the
    // data of sector k never lies before byte k * dataSize.
    uint64_t total = 0;
    for (uint64_t k = 0; k < sectors; ++k, offset = 0) {
      const uint64_t take = std::min<uint64_t>(framing.dataSize - offset, count - done - total);
      std::memmove(framed_.data() + total,
                   framed_.data() + k * framing.sectorSize + framing.dataOffset + offset, take);
      total += take;
    }
    if (!output.WriteAt(outputOffset + done, framed_.data(), size_t(total))) break;
    done += total;
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
