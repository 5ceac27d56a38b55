#include "source/stream_disc.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "opera/records.h"
#include "source/cd_sector.h"
#include "source/cd_sector_build.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr uint32_t kUserBytes = 2048;
constexpr size_t kSectorsPerRead = 64;

// Raw sectors as the image source tells them: the label's signature in the
// user data of the first sector, or a Mode 1 sector's sync and mode byte.
bool StartsWithRawSector(const uint8_t* head, size_t length) {
  if (length < kCdFrameSize) return false;
  return std::memcmp(head + 16, opera::kLabelSignature, 6) == 0 || (HasCdSync(head) && head[kCdModeByte] == 1);
}

class StreamDisc : public DiscImage {
 public:
  StreamDisc(std::unique_ptr<ImageStream> stream, bool raw, uint64_t length, std::string path)
      : stream_(std::move(stream)), raw_(raw), path_(std::move(path)) {
    DiscTrack track;
    // A part of a sector at the end of a plain image is a sector padded with zeros.
    track.frames = raw ? length / kCdFrameSize : (length + kUserBytes - 1) / kUserBytes;
    tracks_.push_back(track);
  }

  const std::vector<DiscTrack>& Tracks() const override { return tracks_; }
  std::string Description() const override {
    if (raw_) return "raw 2352";
    return std::string(stream_->IsGzip() ? "gzip" : "plain") + " image of 2048-byte sectors";
  }
  size_t VolumeTrack() const override { return 0; }

  Result<size_t> ReadFrames(size_t track, uint64_t first, size_t count, uint8_t* destination) override {
    if (track != 0) return Error{"no track " + std::to_string(track + 1)};
    if (first >= tracks_[0].frames) return size_t(0);
    count = size_t(std::min<uint64_t>(count, tracks_[0].frames - first));
    const uint32_t size = raw_ ? kCdFrameSize : kUserBytes;
    size_t done = 0;
    while (done < count) {
      const size_t batch = std::min(count - done, kSectorsPerRead);
      if (!raw_) sectors_.resize(batch * kUserBytes);
      uint8_t* into = raw_ ? destination + done * kCdFrameSize : sectors_.data();
      stream_->Seek((first + done) * size);
      const int64_t read = stream_->Read(into, batch * size);
      // Only the last sector of a plain image may come short.
      const bool reachesEnd = first + done + batch == tracks_[0].frames;
      if (read < 0 || (uint64_t(read) < batch * size && (raw_ || !reachesEnd))) {
        // A full spool of a gzip image is the host's failure, not the image's.
        const std::optional<Error> host = stream_->HostFailure();
        return Error{path_ + ": sector " + UnsignedDecimal64(first + done + std::max<int64_t>(read, 0) / size) +
                     " cannot be read" + (host ? " (" + host->text + ")" : "")};
      }
      if (!raw_) {
        std::memset(into + read, 0, batch * kUserBytes - size_t(read));
        for (size_t k = 0; k < batch; ++k) {
          BuildMode1Sector(int64_t(first + done + k), into + k * kUserBytes,
                           destination + (done + k) * kCdFrameSize);
        }
      }
      done += batch;
    }
    return done;
  }

 private:
  std::unique_ptr<ImageStream> stream_;
  bool raw_;
  std::string path_;
  std::vector<DiscTrack> tracks_;
  std::vector<uint8_t> sectors_;
};

}  // namespace

Result<std::unique_ptr<DiscImage>> OpenStreamDisc(std::unique_ptr<ImageStream> stream,
                                                  const std::string& path) {
  // Random reads of a gzip image come from its spool.
  if (Status kept = stream->KeepFrom(0); !kept) return kept.Failure();
  uint8_t head[kCdFrameSize];
  const int64_t read = stream->Read(head, sizeof head);
  if (read < 0) return Error{path + ": cannot be read"};
  const std::optional<uint64_t> length = stream->Length();
  if (!length) return Error{path + ": its length cannot be told"};
  if (*length == 0) return Error{path + ": is empty"};
  const bool raw = StartsWithRawSector(head, size_t(read));
  return std::unique_ptr<DiscImage>(std::make_unique<StreamDisc>(std::move(stream), raw, *length, path));
}

}  // namespace zanthrel
