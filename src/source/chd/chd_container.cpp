#include "source/chd/chd_container.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "source/cd_sector.h"
#include "source/chd/chd_codecs.h"
#include "source/chd/chd_file.h"
#include "source/track_modes.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr size_t kMaxTrackEntryText = 1024;
constexpr uint64_t kNoHunk = UINT64_MAX;

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

class ChdTrack : public DataTrack {
 public:
  ChdTrack(std::unique_ptr<ChdFile> chd, uint64_t firstFrame, uint64_t sectors, uint32_t userOffset,
           std::string description)
      : chd_(std::move(chd)),
        firstFrame_(firstFrame),
        sectors_(sectors),
        userOffset_(userOffset),
        description_(std::move(description)),
        hunk_(chd_->Header().hunkBytes) {}

  uint64_t SectorCount() const override { return sectors_; }
  std::string Description() const override { return description_; }
  // Every hunk carries its CRC.
  bool Checked() const override { return true; }

  size_t ReadSectors(uint64_t first, size_t count, uint8_t* destination) override {
    if (first >= sectors_) return 0;
    count = size_t(std::min<uint64_t>(count, sectors_ - first));
    const uint32_t framesPerHunk = chd_->Header().FramesPerHunk();
    for (size_t n = 0; n < count; ++n) {
      const uint64_t frame = firstFrame_ + first + n;
      if (!LoadHunk(frame / framesPerHunk)) return n;
      std::memcpy(destination + n * kUserDataSize,
                  hunk_.data() + (frame % framesPerHunk) * kChdFrameBytes + userOffset_, kUserDataSize);
    }
    return count;
  }

 private:
  // A hunk that fails its CRC is not delivered.
  bool LoadHunk(uint64_t number) {
    const ChdHunk& hunk = chd_->Map()[number];
    if (hunk.kind == ChdHunk::kSelf) number = hunk.offset;
    if (number == cached_) return true;
    cached_ = kNoHunk;
    if (chd_->Decode(number, hunk_.data()) != HunkCondition::kIntact) return false;
    cached_ = number;
    return true;
  }

  std::unique_ptr<ChdFile> chd_;
  uint64_t firstFrame_;
  uint64_t sectors_;
  uint32_t userOffset_;
  std::string description_;
  std::vector<uint8_t> hunk_;
  uint64_t cached_ = kNoHunk;  // the hunk that `hunk_` holds
};

}  // namespace

Result<std::unique_ptr<DataTrack>> OpenChdTrack(HostFile file, uint64_t fileSize) {
  Result<std::unique_ptr<ChdFile>> chd = ChdFile::Open(std::move(file), fileSize);
  if (!chd) return chd.Failure();
  const ChdHeader& header = (*chd)->Header();
  const std::string& codecNames = (*chd)->CodecNames();
  Result<std::vector<ChdTrackEntry>> tracks = ReadTrackEntries((*chd)->File(), header.metaOffset);
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
    if (sectors == 0 || first + sectors > header.HunkCount() * header.FramesPerHunk()) {
      return ChdError(name + " lies outside the CHD's data");
    }
    const std::string description = "CHD v5 (" + (codecNames.empty() ? "uncompressed" : codecNames) + "), " +
                                    name + " of " + std::to_string(tracks->size()) + " (" + track.type + ")";
    return std::unique_ptr<DataTrack>(std::make_unique<ChdTrack>(std::move(*chd), first, sectors,
                                                                 type->format.userOffset, description));
  }
  return ChdError("no data track, only audio");
}

}  // namespace zanthrel
