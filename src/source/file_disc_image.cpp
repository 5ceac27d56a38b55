// An image file as a DiscImage: a cue sheet's BINARY tracks of 2352-byte
// frames as stored, any other image as its data track, whose sectors are made
// whole from their 2048 bytes of user data.
#include <algorithm>
#include <cstring>

#include "source/cd_ecc.h"
#include "source/cd_edc.h"
#include "source/cd_sector.h"
#include "source/containers/cue_sheet.h"
#include "source/disc_image.h"
#include "source/image_source.h"
#include "source/image_stream.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr size_t kLongestCueSheet = 64 * 1024;
// The address of a disc's first sector: two seconds of lead-in gap.
constexpr uint64_t kFirstAddress = 2 * kFramesPerSecond;

uint8_t Bcd(uint64_t value) { return uint8_t((value / 10) << 4 | value % 10); }

void MakeMode1Sector(uint8_t* frame, const uint8_t* user, uint64_t lba) {
  const uint64_t address = lba + kFirstAddress;
  std::memcpy(frame, kCdSync, sizeof kCdSync);
  frame[12] = Bcd(address / kFramesPerSecond / 60);
  frame[13] = Bcd(address / kFramesPerSecond % 60);
  frame[14] = Bcd(address % kFramesPerSecond);
  frame[kCdModeByte] = 1;
  std::memcpy(frame + 16, user, kSectorSize);
  const uint32_t edc = CdEdc(frame, 2064);
  for (int k = 0; k < 4; ++k) frame[2064 + k] = uint8_t(edc >> (8 * k));
  std::memset(frame + 2068, 0, 8);
  WriteEccParity(frame);
}

// The data track of any image the image source opens.
class DataTrackDisc final : public DiscImage {
 public:
  DataTrackDisc(std::unique_ptr<ImageStream> stream, std::string container, bool raw, uint64_t frames)
      : stream_(std::move(stream)), container_(std::move(container)), raw_(raw) {
    tracks_.push_back(DiscTrack{1, FrameMode::kMode1, frames, 0, 0, 0});
  }
  const std::vector<DiscTrack>& Tracks() const override { return tracks_; }
  std::string Description() const override { return container_; }
  size_t VolumeTrack() const override { return 0; }
  Result<size_t> ReadFrames(size_t, uint64_t first, size_t count, uint8_t* destination) override {
    count = size_t(std::min<uint64_t>(count, tracks_[0].frames - std::min(first, tracks_[0].frames)));
    const uint32_t record = raw_ ? kRawSectorSize : kSectorSize;
    std::vector<uint8_t> records(count * size_t(record), 0);
    stream_->Seek(first * record);
    if (stream_->Read(records.data(), records.size()) < 0) {
      return Error{"read error in the data track at sector " + UnsignedDecimal64(first)};
    }
    for (size_t k = 0; k < count; ++k) {
      const uint8_t* user = records.data() + k * record + (raw_ ? kRawUserDataOffset : 0);
      MakeMode1Sector(destination + k * kCdFrameSize, user, first + k);
    }
    return count;
  }

 private:
  std::unique_ptr<ImageStream> stream_;
  std::string container_;
  bool raw_;
  std::vector<DiscTrack> tracks_;
};

// A cue sheet whose tracks are all BINARY frames of 2352 bytes.
class CueDisc final : public DiscImage {
 public:
  struct Place {
    HostFile file;
    uint64_t start = 0;
  };
  CueDisc(std::vector<DiscTrack> tracks, std::vector<Place> places, std::string description)
      : tracks_(std::move(tracks)), places_(std::move(places)), description_(std::move(description)) {}
  const std::vector<DiscTrack>& Tracks() const override { return tracks_; }
  std::string Description() const override { return description_; }
  size_t VolumeTrack() const override {
    for (size_t k = 0; k < tracks_.size(); ++k) {
      if (tracks_[k].mode != FrameMode::kAudio) return k;
    }
    return 0;
  }
  Result<size_t> ReadFrames(size_t track, uint64_t first, size_t count, uint8_t* destination) override {
    const DiscTrack& wanted = tracks_[track];
    count = size_t(std::min<uint64_t>(count, wanted.frames - std::min(first, wanted.frames)));
    const Place& place = places_[track];
    const Result<size_t> read =
        place.file.ReadAt(place.start + first * kCdFrameSize, destination, count * kCdFrameSize);
    if (!read) return read.Failure();
    return *read / kCdFrameSize;
  }

 private:
  std::vector<DiscTrack> tracks_;
  std::vector<Place> places_;
  std::string description_;
};

Result<std::unique_ptr<DiscImage>> OpenCueDisc(Host& host, const std::string& path, const CueSheet& sheet) {
  const std::string folder = FolderPartOf(path).value_or(".");
  std::vector<DiscTrack> tracks;
  std::vector<CueDisc::Place> places;
  for (size_t k = 0; k < sheet.tracks.size(); ++k) {
    const CueTrack& cue = sheet.tracks[k];
    const CueFile& named = sheet.files[cue.file];
    if (named.type != "BINARY" || cue.format.recordSize != kCdFrameSize) {
      return Error{path + ": track " + std::to_string(cue.number) + " is not stored as 2352-byte frames"};
    }
    Result<HostFile> file = host.OpenFile(JoinPath(folder, named.name));
    if (!file) return file.Failure();
    Result<PathInfo> info = file->Info();
    if (!info) return info.Failure();
    const uint64_t start = cue.index0.value_or(cue.index1.value_or(0)) * kCdFrameSize;
    uint64_t end = info->size;
    if (k + 1 < sheet.tracks.size() && sheet.tracks[k + 1].file == cue.file) {
      const CueTrack& next = sheet.tracks[k + 1];
      end = next.index0.value_or(next.index1.value_or(0)) * kCdFrameSize;
    }
    DiscTrack track;
    track.number = cue.number;
    track.mode = cue.kind == TrackKind::kAudio ? FrameMode::kAudio
                 : cue.mode.starts_with("MODE2") ? FrameMode::kMode2
                                                 : FrameMode::kMode1;
    track.frames = end > start ? (end - start) / kCdFrameSize : 0;
    track.storedPregap = cue.index0 && cue.index1 ? *cue.index1 - *cue.index0 : 0;
    track.pregap = cue.pregap;
    track.postgap = cue.postgap;
    tracks.push_back(track);
    places.push_back({std::move(*file), start});
  }
  if (tracks.empty()) return Error{path + ": the cue sheet names no track"};
  return std::unique_ptr<DiscImage>(new CueDisc(std::move(tracks), std::move(places), "cue sheet"));
}

}  // namespace

std::string_view CueModeName(FrameMode mode) {
  switch (mode) {
    case FrameMode::kAudio:
      return "AUDIO";
    case FrameMode::kMode2:
      return "MODE2/2352";
    case FrameMode::kMode1:
      break;
  }
  return "MODE1/2352";
}

Result<std::unique_ptr<DiscImage>> OpenDiscImage(Host& host, const std::string& path) {
  if (Result<HostFile> file = host.OpenFile(path)) {
    std::string text(kLongestCueSheet, '\0');
    if (const Result<size_t> read = file->ReadAt(0, text.data(), text.size()); read && *read < text.size()) {
      text.resize(*read);
      if (LooksLikeCueSheet(text)) {
        Result<CueSheet> sheet = ParseCueSheet(text);
        if (!sheet) return Error{path + ": " + sheet.Failure().text};
        return OpenCueDisc(host, path, *sheet);
      }
    }
  }
  ImageSource source;
  const OpenStatus opened = OpenImageFile(source, path, host);
  if (!opened) return Error{path + ": " + opened.Failure().text};
  const std::string container = source.Container();
  const bool raw = source.RawSectors();
  Close(source);
  Result<std::unique_ptr<ImageStream>> stream = ImageStream::Open(host, path);
  if (!stream) return stream.Failure();
  (*stream)->KeepDamaged(true);
  const std::optional<uint64_t> length = (*stream)->Length();
  if (!length) return Error{path + ": its length cannot be told"};
  const uint32_t record = raw ? kRawSectorSize : kSectorSize;
  const uint64_t frames = (*length + record - 1) / record;
  return std::unique_ptr<DiscImage>(new DataTrackDisc(std::move(*stream), container, raw, frames));
}

}  // namespace zanthrel
