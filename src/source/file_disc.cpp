#include "source/file_disc.h"

#include <algorithm>
#include <cstring>

#include "source/cd_sector.h"
#include "source/cd_sector_build.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr size_t kRecordsPerRead = 64;
constexpr uint32_t kUserRecord = 2048;
constexpr uint32_t kMode2Record = 2336;
constexpr uint32_t kHeadBytes = kCdFrameSize - kMode2Record;

class FileDisc : public DiscImage {
 public:
  FileDisc(std::vector<StoredTrack> stored, size_t volumeTrack, std::string description)
      : stored_(std::move(stored)), volumeTrack_(volumeTrack), description_(std::move(description)) {
    for (const StoredTrack& each : stored_) tracks_.push_back(each.track);
    firstLbas_ = FirstFrameLbas(tracks_);
  }

  const std::vector<DiscTrack>& Tracks() const override { return tracks_; }
  std::string Description() const override { return description_; }
  size_t VolumeTrack() const override { return volumeTrack_; }

  Result<size_t> ReadFrames(size_t track, uint64_t first, size_t count, uint8_t* destination) override {
    if (track >= stored_.size()) return Error{"no track " + std::to_string(track + 1)};
    const StoredTrack& where = stored_[track];
    if (first >= where.track.frames) return size_t(0);
    count = size_t(std::min<uint64_t>(count, where.track.frames - first));
    const uint32_t size = where.records.recordSize;
    size_t done = 0;
    while (done < count) {
      const size_t batch = std::min(count - done, kRecordsPerRead);
      records_.resize(kRecordsPerRead * size);
      const uint64_t offset = where.records.start + (first + done) * size;
      Result<size_t> read = where.records.file->ReadAt(offset, records_.data(), batch * size);
      if (!read)
        return Error{FrameText(where, first + done) + ": " +
                     ReasonOf(read.Failure(), where.records.file->Path())};
      const size_t whole = *read / size;
      for (size_t k = 0; k < whole; ++k) {
        MakeFrame(where, firstLbas_[track] + int64_t(first + done + k), records_.data() + k * size,
                  destination + (done + k) * kCdFrameSize);
      }
      done += whole;
      if (whole < batch) break;
    }
    // The open measured every file, so a file that ends early has shrunk since.
    if (done < count) return Error{FrameText(where, first + done) + ": the file ends before it"};
    return done;
  }

 private:
  static std::string FrameText(const StoredTrack& where, uint64_t frame) {
    return "track " + std::to_string(where.track.number) + ", frame " + UnsignedDecimal64(frame) + " in " +
           where.records.file->Path();
  }

  static void MakeFrame(const StoredTrack& where, int64_t lba, const uint8_t* record, uint8_t* frame) {
    const uint32_t size = where.records.recordSize;
    if (where.track.mode == FrameMode::kAudio) {
      std::memcpy(frame, record, kCdFrameSize);
      if (where.records.swapAudio) {
        for (uint32_t k = 0; k + 1 < kCdFrameSize; k += 2) std::swap(frame[k], frame[k + 1]);
      }
    } else if (size == kUserRecord) {
      (where.track.mode == FrameMode::kMode1 ? BuildMode1Sector : BuildMode2Form1Sector)(lba, record, frame);
    } else if (size == kMode2Record) {
      WriteFrameHead(lba, 2, frame);
      std::memcpy(frame + kHeadBytes, record, kMode2Record);
    } else {
      std::memcpy(frame, record, kCdFrameSize);
    }
  }

  std::vector<StoredTrack> stored_;
  std::vector<DiscTrack> tracks_;
  std::vector<int64_t> firstLbas_;
  size_t volumeTrack_;
  std::string description_;
  std::vector<uint8_t> records_;
};

}  // namespace

std::unique_ptr<DiscImage> MakeFileDisc(std::vector<StoredTrack> tracks, size_t volumeTrack,
                                        std::string description) {
  return std::make_unique<FileDisc>(std::move(tracks), volumeTrack, std::move(description));
}

}  // namespace zanthrel
