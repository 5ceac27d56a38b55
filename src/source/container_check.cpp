#include "source/container_check.h"

#include <algorithm>

#include "source/cd_sector.h"
#include "source/chd/chd_header.h"
#include "source/containers/cue_container.h"
#include "source/containers/cue_sheet.h"
#include "source/containers/nrg_container.h"
#include "source/containers/raw_container.h"
#include "source/file_track.h"
#include "source/gzip_inflater.h"

namespace zanthrel {

namespace {

constexpr size_t kHeadSize = 64;
constexpr size_t kTailSize = 12;
constexpr size_t kSweepSectors = 256;

// Reads every sector of `track`, damaged ones too, so that its findings
// hold them all; false when the file stops short of the track's end.
bool SweepTrack(FileTrack& track, TrackSectors& found, uint64_t& sectors) {
  track.KeepDamaged(true);
  std::vector<uint8_t> user(kSweepSectors * kUserDataSize);
  uint64_t at = 0;
  while (at < track.SectorCount()) {
    const size_t read = track.ReadSectors(at, kSweepSectors, user.data());
    if (read == 0) break;
    at += read;
  }
  sectors += at;
  found.corrected = track.Findings()->corrected;
  found.damaged = track.Findings()->damaged;
  return at == track.SectorCount();
}

void SweepFile(Host& host, const std::string& path, uint64_t start, RecordFormat format,
               std::optional<uint64_t> records, TrackSectors found, ContainerCheck& check) {
  Result<HostFile> file = host.OpenFile(path);
  Result<PathInfo> info = file ? file->Info() : Result<PathInfo>(file.Failure());
  if (!info) {
    check.failure = info.Failure().text;
    return;
  }
  // Swept for its checks alone, so it names no container.
  FileTrack track(std::move(*file), start, format, records.value_or(RecordsFrom(info->size, start, format)), {});
  if (!SweepTrack(track, found, check.sectors)) {
    check.failure = path + ": track " + std::to_string(found.track) + " cannot be read to its end";
  }
  check.tracks.push_back(std::move(found));
}

// Every data track of raw sectors; the first is the one the volume is read from.
void SweepCueSheet(Host& host, const std::string& path, const CueSheet& sheet, ContainerCheck& check) {
  bool first = true;
  for (size_t index = 0; index < sheet.tracks.size(); ++index) {
    const CueTrack& track = sheet.tracks[index];
    if (track.kind == TrackKind::kAudio) continue;
    const bool holdsVolume = first;
    first = false;
    if (track.format.recordSize == kUserDataSize) continue;
    const Result<CueDataTrack> place = PlaceDataTrack(sheet, index);
    if (!place) continue;
    SweepFile(host, TrackFilePath(path, sheet.files[track.file].name), place->start, track.format,
              place->records, {track.number, holdsVolume, {}, {}}, check);
  }
}

}  // namespace

bool ContainerCheck::Damaged() const {
  if (!failure.empty() || (chd && chd->Damaged())) return true;
  return std::any_of(tracks.begin(), tracks.end(),
                     [](const TrackSectors& t) { return !t.corrected.Empty() || !t.damaged.Empty(); });
}

ContainerCheck CheckContainerOf(const ImageSource& source, Host& host) {
  ContainerCheck check;
  if (source.Kind() != SourceKind::kImageFile || source.IsGzip()) return check;
  const std::string& path = source.Name();
  Result<HostFile> file = host.OpenFile(path);
  Result<PathInfo> info = file ? file->Info() : Result<PathInfo>(file.Failure());
  if (!info) {
    check.failure = info.Failure().text;
    return check;
  }
  uint8_t head[kHeadSize] = {}, tail[kTailSize] = {};
  Result<size_t> headLength = file->ReadAt(0, head, sizeof head);
  const size_t tailLength = size_t(std::min<uint64_t>(info->size, kTailSize));
  Result<size_t> tailRead = file->ReadAt(info->size - tailLength, tail, tailLength);
  if (!headLength || !tailRead) {
    check.failure = (headLength ? tailRead.Failure() : headLength.Failure()).text;
    return check;
  }
  // Told apart in the order that the image source tells containers apart.
  if (HasChdMagic(head, *headLength)) {
    Result<std::unique_ptr<ChdFile>> chd = ChdFile::Open(std::move(*file), info->size);
    if (!chd) {
      check.failure = chd.Failure().text;
      return check;
    }
    check.chd = CheckChd(**chd);
    return check;
  }
  if (HasGzipMagic(head, *headLength) || NrgVersion(tail, *tailRead) != 0) return check;
  if (source.RawSectors()) {
    SweepFile(host, path, 0, kMode1Raw, std::nullopt, {1, true, {}, {}}, check);
  } else if (const std::optional<RecordFormat> mode2 = RawMode2Format(head, *headLength)) {
    SweepFile(host, path, 0, *mode2, std::nullopt, {1, true, {}, {}}, check);
  } else if (info->size <= kMaxCueSheetSize) {
    std::string text(size_t(info->size), '\0');
    Result<size_t> read = file->ReadAt(0, text.data(), text.size());
    if (!read) return check;
    text.resize(*read);
    if (!LooksLikeCueSheet(text)) return check;
    const Result<CueSheet> sheet = ParseCueSheet(text);
    if (sheet) SweepCueSheet(host, path, *sheet, check);
  }
  return check;
}

}  // namespace zanthrel
