#include "source/chd/chd_container.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "source/cd_sector.h"
#include "source/cd_sector_build.h"
#include "source/chd/chd_codecs.h"
#include "source/chd/chd_file.h"
#include "source/chd/chd_hunk_cache.h"
#include "source/track_modes.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr size_t kMaxTrackEntryText = 1024;

Error ChdError(const std::string& what) { return Error{"CHD: " + what}; }

Result<std::vector<ChdTrackEntry>> ReadTrackEntries(const HostFile& file, uint64_t offset) {
  Result<std::vector<ChdMetadataEntry>> entries = ReadChdMetadata(file, offset);
  if (!entries) return entries.Failure();
  std::vector<ChdTrackEntry> tracks;
  for (const ChdMetadataEntry& meta : *entries) {
    if (meta.tag != ChdTag("CHT2") && meta.tag != ChdTag("CHTR") && meta.tag != ChdTag("CHGD")) continue;
    std::string text(std::min<size_t>(meta.dataLength, kMaxTrackEntryText), '\0');
    Result<size_t> read = file.ReadAt(meta.dataOffset, text.data(), text.size());
    if (!read) return read.Failure();
    if (*read < text.size()) return ChdError("the metadata is cut short");
    text.resize(std::min(text.size(), text.find('\0')));
    Result<ChdTrackEntry> entry = ParseChdTrackEntry(text);
    if (!entry) return entry.Failure();
    tracks.push_back(*entry);
  }
  return tracks;
}

// The hunks of a CHD, decoded into a cache that reads ahead while the
// frames are read in order.
class ChdHunks {
 public:
  explicit ChdHunks(std::unique_ptr<ChdFile> chd)
      : chd_(std::move(chd)), cache_(*chd_, ChdHunkCache::WorkersForThisMachine()) {}

  const ChdHeader& Header() const { return chd_->Header(); }

  // The bytes of the frame `frame` of the whole CHD, 2448 of them; null when
  // its hunk cannot be decoded or fails its CRC.
  const uint8_t* Frame(uint64_t frame) {
    const uint32_t framesPerHunk = Header().FramesPerHunk();
    const ChdHunkCache::Hunk hunk = cache_.Read(frame / framesPerHunk);
    if (hunk.condition != HunkCondition::kIntact) return nullptr;
    return hunk.bytes + (frame % framesPerHunk) * kChdFrameBytes;
  }

 private:
  std::unique_ptr<ChdFile> chd_;
  ChdHunkCache cache_;  // after the file, whose hunks its workers read
};

class ChdTrack : public DataTrack {
 public:
  ChdTrack(std::unique_ptr<ChdHunks> hunks, uint64_t firstFrame, uint64_t sectors, uint32_t userOffset,
           ContainerFields fields)
      : hunks_(std::move(hunks)),
        firstFrame_(firstFrame),
        sectors_(sectors),
        userOffset_(userOffset),
        fields_(std::move(fields)) {}

  uint64_t SectorCount() const override { return sectors_; }
  std::string Description() const override { return fields_.description; }
  ContainerFields Fields() const override { return fields_; }
  // Every hunk carries its CRC.
  bool Checked() const override { return true; }

  size_t ReadSectors(uint64_t first, size_t count, uint8_t* destination) override {
    if (first >= sectors_) return 0;
    count = size_t(std::min<uint64_t>(count, sectors_ - first));
    for (size_t n = 0; n < count; ++n) {
      const uint8_t* frame = hunks_->Frame(firstFrame_ + first + n);
      if (!frame) return n;
      std::memcpy(destination + n * kUserDataSize, frame + userOffset_, kUserDataSize);
    }
    return count;
  }

 private:
  std::unique_ptr<ChdHunks> hunks_;
  uint64_t firstFrame_;
  uint64_t sectors_;
  uint32_t userOffset_;
  ContainerFields fields_;
};

// A track of the CHD as the metadata lays it out: its frames from the
// CHD's frame `firstFrame` on, the stored pregap first.
struct ChdTrackPlace {
  ChdTrackEntry entry;
  // None for a type that this reader does not know after the data track,
  // which the data track alone does not need.
  std::optional<TrackMode> mode;
  uint64_t firstFrame;
  uint64_t storedPregap;
};

struct ChdLayout {
  std::unique_ptr<ChdHunks> hunks;
  std::string codecNames;
  std::vector<std::string> codecTags;  // in the header's order
  std::vector<ChdTrackPlace> tracks;
  size_t dataTrack;
};

std::string DescriptionOf(const ChdLayout& layout) {
  const ChdTrackEntry& data = layout.tracks[layout.dataTrack].entry;
  return "CHD v5 (" + (layout.codecNames.empty() ? "uncompressed" : layout.codecNames) + "), track " +
         std::to_string(data.number) + " of " + std::to_string(layout.tracks.size()) + " (" + data.type + ")";
}

// Reads the header, the map and the track entries, and finds the data track.
Result<ChdLayout> ReadChdLayout(HostFile file, uint64_t fileSize) {
  Result<std::unique_ptr<ChdFile>> chd = ChdFile::Open(std::move(file), fileSize);
  if (!chd) return chd.Failure();
  const ChdHeader header = (*chd)->Header();
  Result<std::vector<ChdTrackEntry>> entries = ReadTrackEntries((*chd)->File(), header.metaOffset);
  if (!entries) return entries.Failure();
  if (entries->empty()) return ChdError("no CD track entries (CHT2, CHTR or CHGD)");
  ChdLayout layout;
  layout.dataTrack = entries->size();
  uint64_t start = 0;
  const uint64_t framesHeld = header.HunkCount() * header.FramesPerHunk();
  for (const ChdTrackEntry& track : *entries) {
    const std::optional<TrackMode> type = FindTrackMode(track.type, TrackNaming::kChd);
    const std::string name = "track " + std::to_string(track.number);
    if (!type && layout.dataTrack == entries->size()) {
      return ChdError(name + " has the unknown type " + track.type);
    }
    const uint64_t storedPregap = !track.pregapType.empty() && track.pregapType[0] == 'V' ? track.pregap : 0;
    const bool data = type && type->kind != TrackKind::kAudio && layout.dataTrack == entries->size();
    if (data) {
      if (type->kind == TrackKind::kForm2) {
        return ChdError(name + " is " + track.type + ", whose sectors hold no 2048-byte user data");
      }
      if (storedPregap > track.frames) return ChdError(name + " has a pregap longer than itself");
      if (track.frames == storedPregap || start + track.frames > framesHeld) {
        return ChdError(name + " lies outside the CHD's data");
      }
      layout.dataTrack = layout.tracks.size();
    }
    layout.tracks.push_back({track, type, start, storedPregap});
    start += track.frames + (kChdTrackPadding - track.frames % kChdTrackPadding) % kChdTrackPadding;
  }
  if (layout.dataTrack == entries->size()) return ChdError("no data track, only audio");
  layout.codecNames = (*chd)->CodecNames();
  for (uint32_t tag : header.compressors) {
    if (tag != 0) layout.codecTags.push_back(ChdTagText(tag));
  }
  layout.hunks = std::make_unique<ChdHunks>(std::move(*chd));
  return layout;
}

class ChdDisc : public DiscImage {
 public:
  explicit ChdDisc(ChdLayout layout) : layout_(std::move(layout)), description_(DescriptionOf(layout_)) {
    for (const ChdTrackPlace& place : layout_.tracks) {
      DiscTrack track;
      track.number = place.entry.number;
      track.mode = ModeOf(*place.mode, place.entry.type);
      track.frames = place.entry.frames;
      track.storedPregap = place.storedPregap;
      track.pregap = place.storedPregap == 0 ? place.entry.pregap : 0;
      track.postgap = place.entry.postgap;
      tracks_.push_back(track);
    }
    firstLbas_ = FirstFrameLbas(tracks_);
  }

  const std::vector<DiscTrack>& Tracks() const override { return tracks_; }
  std::string Description() const override { return description_; }
  size_t VolumeTrack() const override { return layout_.dataTrack; }

  Result<size_t> ReadFrames(size_t track, uint64_t first, size_t count, uint8_t* destination) override {
    if (track >= tracks_.size()) return Error{"no track " + std::to_string(track + 1)};
    const ChdTrackPlace& place = layout_.tracks[track];
    if (first >= tracks_[track].frames) return size_t(0);
    count = size_t(std::min<uint64_t>(count, tracks_[track].frames - first));
    const uint32_t framesPerHunk = layout_.hunks->Header().FramesPerHunk();
    for (size_t n = 0; n < count; ++n) {
      const uint64_t frame = place.firstFrame + first + n;
      const uint8_t* stored = layout_.hunks->Frame(frame);
      if (!stored) {
        return ChdError("hunk " + UnsignedDecimal64(frame / framesPerHunk) + " (track " +
                        std::to_string(place.entry.number) + ", frame " + UnsignedDecimal64(first + n) +
                        ") cannot be decoded or fails its CRC");
      }
      MakeFrame(place, tracks_[track].mode, firstLbas_[track] + int64_t(first + n), stored,
                destination + n * kCdFrameSize);
    }
    return count;
  }

 private:
  static FrameMode ModeOf(const TrackMode& mode, const std::string& type) {
    if (mode.kind == TrackKind::kAudio) return FrameMode::kAudio;
    return type.rfind("MODE1", 0) == 0 ? FrameMode::kMode1 : FrameMode::kMode2;
  }

  // A CHD keeps audio samples big-endian, and a MODE1 or MODE2_FORM1 track's user data alone.
  static void MakeFrame(const ChdTrackPlace& place, FrameMode mode, int64_t lba, const uint8_t* stored,
                        uint8_t* frame) {
    if (place.mode->kind == TrackKind::kAudio) {
      for (uint32_t k = 0; k + 1 < kCdFrameSize; k += 2) {
        frame[k] = stored[k + 1];
        frame[k + 1] = stored[k];
      }
    } else if (place.mode->format.recordSize == kCooked.recordSize) {
      (mode == FrameMode::kMode1 ? BuildMode1Sector : BuildMode2Form1Sector)(lba, stored, frame);
    } else if (place.mode->format.recordSize == kMode2Records.recordSize) {
      WriteFrameHead(lba, 2, frame);
      std::memcpy(frame + kCdFrameSize - kMode2Records.recordSize, stored, kMode2Records.recordSize);
    } else {
      std::memcpy(frame, stored, kCdFrameSize);
    }
  }

  ChdLayout layout_;
  std::string description_;
  std::vector<DiscTrack> tracks_;
  std::vector<int64_t> firstLbas_;
};

}  // namespace

Result<std::unique_ptr<DataTrack>> OpenChdTrack(HostFile file, uint64_t fileSize) {
  Result<ChdLayout> layout = ReadChdLayout(std::move(file), fileSize);
  if (!layout) return layout.Failure();
  const ChdTrackPlace& data = layout->tracks[layout->dataTrack];
  ContainerFields fields{"chd", std::move(layout->codecTags), uint32_t(data.entry.number),
                         RecordModeName(data.mode->format), DescriptionOf(*layout)};
  return std::unique_ptr<DataTrack>(std::make_unique<ChdTrack>(
      std::move(layout->hunks), data.firstFrame + data.storedPregap, data.entry.frames - data.storedPregap,
      data.mode->format.userOffset, std::move(fields)));
}

Result<std::unique_ptr<DiscImage>> OpenChdDisc(HostFile file, uint64_t fileSize) {
  Result<ChdLayout> layout = ReadChdLayout(std::move(file), fileSize);
  if (!layout) return layout.Failure();
  for (const ChdTrackPlace& place : layout->tracks) {
    const std::string name = "track " + std::to_string(place.entry.number);
    if (!place.mode) return ChdError(name + " has the unknown type " + place.entry.type);
    if (place.mode->kind == TrackKind::kForm2) {
      return ChdError(name + " is " + place.entry.type + ", whose records cannot be made whole frames");
    }
    if (place.storedPregap > place.entry.frames) return ChdError(name + " has a pregap longer than itself");
    if (place.entry.frames == 0 ||
        place.firstFrame + place.entry.frames >
            layout->hunks->Header().HunkCount() * layout->hunks->Header().FramesPerHunk()) {
      return ChdError(name + " lies outside the CHD's data");
    }
  }
  return std::unique_ptr<DiscImage>(std::make_unique<ChdDisc>(std::move(*layout)));
}

}  // namespace zanthrel
