#include "source/chd/chd_container.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "source/big_endian.h"
#include "source/cd_sector.h"
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

class ChdTrack : public DataTrack {
 public:
  ChdTrack(HostFile file, const ChdHeader& header, std::vector<ChdHunk> map,
           std::vector<std::unique_ptr<BlockDecoder>> codecs, uint64_t firstFrame, uint64_t sectors,
           uint32_t userOffset, std::string description)
      : file_(std::move(file)),
        header_(header),
        map_(std::move(map)),
        codecs_(std::move(codecs)),
        firstFrame_(firstFrame),
        sectors_(sectors),
        userOffset_(userOffset),
        description_(std::move(description)),
        hunk_(header.hunkBytes) {}

  uint64_t SectorCount() const override { return sectors_; }
  std::string Description() const override { return description_; }
  // Every hunk carries its CRC.
  bool Checked() const override { return true; }

  size_t ReadSectors(uint64_t first, size_t count, uint8_t* destination) override {
    if (first >= sectors_) return 0;
    count = size_t(std::min<uint64_t>(count, sectors_ - first));
    const uint32_t framesPerHunk = header_.FramesPerHunk();
    for (size_t n = 0; n < count; ++n) {
      const uint64_t frame = firstFrame_ + first + n;
      if (!LoadHunk(frame / framesPerHunk)) return n;
      std::memcpy(destination + n * kUserDataSize,
                  hunk_.data() + (frame % framesPerHunk) * kChdFrameBytes + userOffset_, kUserDataSize);
    }
    return count;
  }

 private:
  bool LoadHunk(uint64_t number) {
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
  uint64_t firstFrame_;
  uint64_t sectors_;
  uint32_t userOffset_;
  std::string description_;
  std::vector<uint8_t> hunk_;
  uint64_t cached_ = kNoHunk;  // the hunk that `hunk_` holds
  std::vector<uint8_t> compressed_;
};

}  // namespace

Result<std::unique_ptr<DataTrack>> OpenChdTrack(HostFile file, uint64_t fileSize) {
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
  Result<std::vector<ChdTrackEntry>> tracks = ReadTrackEntries(file, header->metaOffset);
  if (!tracks) return tracks.Failure();
  if (tracks->empty()) return ChdError("no CD track entries (CHT2, CHTR or CHGD)");

  // Each track starts where the one in front of it ends, padded to 4 frames.
  uint64_t start = 0;
  for (const ChdTrackEntry& track : *tracks) {
    const std::optional<TrackMode> type = FindTrackMode(track.type, TrackNaming::kChd);
    const std::string name = "track " + std::to_string(track.number);
    if (!type) return ChdError(name + " has the unknown type " + track.type);
    if (type->kind == TrackKind::kAudio) {
      start += track.frames + (kChdTrackPadding - track.frames % kChdTrackPadding) % kChdTrackPadding;
      continue;
    }
    if (type->kind == TrackKind::kForm2) {
      return ChdError(name + " is " + track.type + ", whose sectors hold no 2048-byte user data");
    }
    const uint64_t storedPregap = !track.pregapType.empty() && track.pregapType[0] == 'V' ? track.pregap : 0;
    if (storedPregap > track.frames) return ChdError(name + " has a pregap longer than itself");
    const uint64_t first = start + storedPregap, sectors = track.frames - storedPregap;
    if (sectors == 0 || first + sectors > header->HunkCount() * header->FramesPerHunk()) {
      return ChdError(name + " lies outside the CHD's data");
    }
    const std::string description = "CHD v5 (" + (codecNames.empty() ? "uncompressed" : codecNames) + "), " +
                                    name + " of " + std::to_string(tracks->size()) + " (" + track.type + ")";
    return std::unique_ptr<DataTrack>(std::make_unique<ChdTrack>(std::move(file), *header, std::move(*map),
                                                                 std::move(codecs), first, sectors,
                                                                 type->format.userOffset, description));
  }
  return ChdError("no data track, only audio");
}

}  // namespace zanthrel
