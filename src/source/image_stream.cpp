#include "source/image_stream.h"

#include <algorithm>
#include <cstring>

#include "source/containers/containers.h"
#include "source/gzip_inflater.h"
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
  if (!HasGzipMagic(magic, *head)) {
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

void ImageStream::KeepDamaged(bool keep) {
  if (!track_) return;
  track_->KeepDamaged(keep);
  bufferLength_ = 0;
}

std::optional<Error> ImageStream::HostFailure() const {
  return gzip_ ? gzip_->HostFailure() : std::nullopt;
}

std::optional<uint64_t> ImageStream::Length() {
  if (track_) return track_->SectorCount() * kUserDataSize;
  if (gzip_) return gzip_->Length();
  const Result<PathInfo> info = file_.Info();
  if (!info || info->kind != PathKind::kFile) return std::nullopt;
  return info->size;
}

int64_t ImageStream::ReadAt(uint64_t position, void* destination, size_t count) {
  if (track_) return ReadTrackBytes(*track_, position, destination, count, trackScratch_);
  if (gzip_) return gzip_->ReadAt(position, destination, count);
  Result<size_t> n = file_.ReadAt(position, destination, count);
  return n ? int64_t(*n) : -1;
}

uint64_t ImageStream::CopyTo(uint64_t position, uint64_t count, const HostFile& output,
                             uint64_t outputOffset) {
  if (track_) return 0;
  if (gzip_) return gzip_->CopyTo(position, count, output, outputOffset);
  return CopyFileRange(file_, position, output, outputOffset, count).copied;
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
