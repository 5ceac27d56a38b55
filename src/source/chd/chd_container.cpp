#include "source/chd/chd_container.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "source/big_endian.h"
#include "source/cd_sector.h"
#include "source/cd_sector_build.h"
#include "source/chd/chd_codecs.h"
#include "source/chd/chd_header.h"
#include "source/chd/chd_map.h"
#include "source/chd/crc16.h"
#include "source/track_modes.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr size_t kMaxMetadataEntries = 1024;
constexpr size_t kMaxTrackEntryText = 1024;
constexpr uint64_t kNoHunk = UINT64_MAX;
// A track is padded to a whole number of these frames in the CHD.
constexpr uint64_t kTrackPadding = 4;

Error ChdError(const std::string& what) { return Error{"CHD: " + what}; }

// Reads exactly `count` bytes, or says that the file is cut short there.
Status ReadWhole(const HostFile& file, uint64_t offset, void* buffer, size_t count, const char* what) {
  Result<size_t> read = file.ReadAt(offset, buffer, count);
  if (!read) return read.Failure();
  if (*read < count) return ChdError(std::string(what) + " is cut short");
  return {};
}

Result<std::vector<ChdTrackEntry>> ReadTrackEntries(const HostFile& file, uint64_t offset) {
  std::vector<ChdTrackEntry> tracks;
  for (size_t n = 0; offset != 0; ++n) {
    if (n == kMaxMetadataEntries) return ChdError("the metadata chain does not end");
    uint8_t head[16];
    if (Status read = ReadWhole(file, offset, head, sizeof head, "the metadata"); !read) {
      return read.Failure();
    }
    const std::string tag(reinterpret_cast<const char*>(head), 4);
    if (tag == "CHT2" || tag == "CHTR" || tag == "CHGD") {
      std::string text(std::min<size_t>(ReadBigEndian(head + 5, 3), kMaxTrackEntryText), '\0');
      if (Status read = ReadWhole(file, offset + 16, text.data(), text.size(), "the metadata"); !read) {
        return read.Failure();
      }
      text.resize(std::min(text.size(), text.find('\0')));
      Result<ChdTrackEntry> entry = ParseChdTrackEntry(text);
      if (!entry) return entry.Failure();
      tracks.push_back(*entry);
    }
    offset = ReadBigEndian(head + 8, 8);
  }
  return tracks;
}

Result<std::vector<ChdHunk>> ReadMap(const HostFile& file, uint64_t fileSize, const ChdHeader& header) {
  std::vector<uint8_t> map;
  if (!header.Compressed()) {
    map.resize(size_t(header.HunkCount() * 4));
    if (Status read = ReadWhole(file, header.mapOffset, map.data(), map.size(), "the hunk map"); !read) {
      return read.Failure();
    }
    return DecodeRawMap(header, map.data());
  }
  map.resize(kChdMapHeaderSize);
  if (Status read = ReadWhole(file, header.mapOffset, map.data(), map.size(), "the hunk map"); !read) {
    return read.Failure();
  }
  const uint64_t length = CompressedMapLength(map.data());
  if (length > MaxCompressedMapLength(header) || length > fileSize) {
    return ChdError("the hunk map is longer than any map of its hunks");
  }
  map.resize(kChdMapHeaderSize + size_t(length));
  if (Status read = ReadWhole(file, header.mapOffset + kChdMapHeaderSize, map.data() + kChdMapHeaderSize,
                              size_t(length), "the hunk map");
      !read) {
    return read.Failure();
  }
  return DecodeCompressedMap(header, map.data(), map.size());
}

// The hunks of a CHD, decoded one at a time into a cache of one hunk.
class ChdHunks {
 public:
  ChdHunks(HostFile file, const ChdHeader& header, std::vector<ChdHunk> map,
           std::vector<std::unique_ptr<BlockDecoder>> codecs)
      : file_(std::move(file)),
        header_(header),
        map_(std::move(map)),
        codecs_(std::move(codecs)),
        hunk_(header.hunkBytes) {}

  const ChdHeader& Header() const { return header_; }

  // The bytes of the frame `frame` of the whole CHD, 2448 of them; null when
  // its hunk cannot be decoded or fails its CRC.
  const uint8_t* Frame(uint64_t frame) {
    const uint32_t framesPerHunk = header_.FramesPerHunk();
    if (!LoadHunk(frame / framesPerHunk)) return nullptr;
    return hunk_.data() + (frame % framesPerHunk) * kChdFrameBytes;
  }

 private:
  bool LoadHunk(uint64_t number) {
    if (number >= map_.size()) return false;
    if (map_[number].kind == ChdHunk::kSelf) number = map_[number].offset;
    if (number == cached_) return true;
    cached_ = kNoHunk;
    if (!Decode(map_[number])) return false;
    cached_ = number;
    return true;
  }

  // Decodes a hunk into the cache; a hunk that fails its CRC is not delivered.
  bool Decode(const ChdHunk& hunk) {
    const size_t size = header_.hunkBytes;
    switch (hunk.kind) {
      case ChdHunk::kZeros:
        std::fill(hunk_.begin(), hunk_.end(), 0);
        return true;
      case ChdHunk::kUnchecked:
        return ReadExactly(hunk.offset, hunk_.data(), size);
      case ChdHunk::kStored:
        return ReadExactly(hunk.offset, hunk_.data(), size) && Crc16(hunk_.data(), size) == hunk.crc;
      case ChdHunk::kCodec: {
        BlockDecoder* codec = codecs_[hunk.codec].get();
        // A codec that gains nothing stores the hunk as it is, so a longer entry is damage.
        if (!codec || hunk.length > size) return false;
        compressed_.resize(hunk.length);
        return ReadExactly(hunk.offset, compressed_.data(), hunk.length) &&
               codec->Decode(compressed_.data(), hunk.length, hunk_.data(), size) &&
               Crc16(hunk_.data(), size) == hunk.crc;
      }
      default:
        return false;
    }
  }

  bool ReadExactly(uint64_t offset, uint8_t* buffer, size_t count) {
    Result<size_t> read = file_.ReadAt(offset, buffer, count);
    return read && *read == count;
  }

  HostFile file_;
  ChdHeader header_;
  std::vector<ChdHunk> map_;
  std::vector<std::unique_ptr<BlockDecoder>> codecs_;  // by the header's slot
  std::vector<uint8_t> hunk_;
  uint64_t cached_ = kNoHunk;  // the hunk that `hunk_` holds
  std::vector<uint8_t> compressed_;
};

class ChdTrack : public DataTrack {
 public:
  ChdTrack(std::unique_ptr<ChdHunks> hunks, uint64_t firstFrame, uint64_t sectors, uint32_t userOffset,
           std::string description)
      : hunks_(std::move(hunks)),
        firstFrame_(firstFrame),
        sectors_(sectors),
        userOffset_(userOffset),
        description_(std::move(description)) {}

  uint64_t SectorCount() const override { return sectors_; }
  std::string Description() const override { return description_; }
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
  std::string description_;
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
  uint8_t head[kChdHeaderSize] = {};
  Result<size_t> read = file.ReadAt(0, head, sizeof head);
  if (!read) return read.Failure();
  Result<ChdHeader> header = ParseChdHeader(head, *read);
  if (!header) return header.Failure();

  std::vector<std::unique_ptr<BlockDecoder>> codecs;
  std::string codecNames;
  for (uint32_t tag : header->compressors) {
    codecs.push_back(tag == 0 ? nullptr : MakeChdCodec(tag, header->hunkBytes));
    if (tag != 0 && !codecs.back()) {
      return ChdError("compressor '" + ChdTagText(tag) + "' is not one this reader knows");
    }
    if (tag != 0) codecNames += (codecNames.empty() ? "" : ", ") + ChdTagText(tag);
  }
  Result<std::vector<ChdHunk>> map = ReadMap(file, fileSize, *header);
  if (!map) return map.Failure();
  Result<std::vector<ChdTrackEntry>> entries = ReadTrackEntries(file, header->metaOffset);
  if (!entries) return entries.Failure();
  if (entries->empty()) return ChdError("no CD track entries (CHT2, CHTR or CHGD)");

  // Each track starts where the one in front of it ends, padded to 4 frames.
  ChdLayout layout;
  layout.dataTrack = entries->size();
  uint64_t start = 0;
  const uint64_t framesHeld = header->HunkCount() * header->FramesPerHunk();
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
    start += track.frames + (kTrackPadding - track.frames % kTrackPadding) % kTrackPadding;
  }
  if (layout.dataTrack == entries->size()) return ChdError("no data track, only audio");
  layout.codecNames = codecNames;
  layout.hunks = std::make_unique<ChdHunks>(std::move(file), *header, std::move(*map), std::move(codecs));
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
  std::string description = DescriptionOf(*layout);
  return std::unique_ptr<DataTrack>(std::make_unique<ChdTrack>(
      std::move(layout->hunks), data.firstFrame + data.storedPregap, data.entry.frames - data.storedPregap,
      data.mode->format.userOffset, std::move(description)));
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
