#include "source/image_stream.h"

#include <algorithm>
#include <cstring>

#include "source/containers.h"
#include "source/gzip_spool.h"

namespace zanthrel {

namespace {
constexpr size_t kBufferSize = 64 * 1024;
}  // namespace

ImageStream::ImageStream() : buffer_(kBufferSize) {}

ImageStream::~ImageStream() = default;

Result<std::unique_ptr<ImageStream>> ImageStream::Open(Host& host, const std::string& path,
                                                       Progress searchProgress) {
  Result<HostFile> file = host.OpenFile(path);
  if (!file) return file.Failure();
  std::unique_ptr<ImageStream> stream(new ImageStream());
  Result<std::unique_ptr<DataTrack>> track = OpenContainer(host, path, *file);
  if (!track) return track.Failure();
  if (*track) {
    stream->track_ = std::move(*track);
    return stream;
  }
  uint8_t magic[2] = {0, 0};
  Result<size_t> head = file->ReadAt(0, magic, 2);
  if (!head) return head.Failure();
  if (*head < 2 || magic[0] != 0x1F || magic[1] != 0x8B) {
    stream->file_ = std::move(*file);
    return stream;
  }
  Result<PathInfo> info = file->Info();
  if (!info) return info.Failure();
  Result<HostFile> spool = host.CreateScratchFile();
  if (!spool) return spool.Failure();
  stream->gzip_ = std::make_unique<GzipSpool>(std::move(*file), info->size, std::move(*spool),
                                              std::move(searchProgress));
  return stream;
}

Status ImageStream::KeepFrom(uint64_t position) { return gzip_ ? gzip_->KeepFrom(position) : Status(); }

std::optional<Error> ImageStream::HostFailure() const {
  return gzip_ ? gzip_->HostFailure() : std::nullopt;
}

int64_t ImageStream::ReadAt(uint64_t position, void* destination, size_t count) {
  if (track_) return ReadTrackBytes(*track_, position, destination, count, trackScratch_);
  if (gzip_) return gzip_->ReadAt(position, destination, count);
  Result<size_t> n = file_.ReadAt(position, destination, count);
  return n ? int64_t(*n) : -1;
}

uint64_t ImageStream::CopyTo(uint64_t position, uint64_t count, const HostFile& output,
                             uint64_t outputOffset) {
  if (track_) return CopyTrackTo(position, count, output, outputOffset);
  if (gzip_) return gzip_->CopyTo(position, count, output, outputOffset);
  return CopyFileRange(file_, position, output, outputOffset, count).copied;
}

uint64_t ImageStream::CopyTrackTo(uint64_t position, uint64_t count, const HostFile& output,
                                  uint64_t outputOffset) {
  framed_.resize(kBufferSize);
  uint64_t done = 0;
  while (done < count) {
    const int64_t got =
        ReadAt(position + done, framed_.data(), size_t(std::min<uint64_t>(count - done, kBufferSize)));
    if (got <= 0 || !output.WriteAt(outputOffset + done, framed_.data(), size_t(got))) break;
    done += uint64_t(got);
  }
  return done;
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
