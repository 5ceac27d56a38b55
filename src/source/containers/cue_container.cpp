#include "source/containers/cue_container.h"

#include "source/containers/cue_sheet.h"
#include "source/file_disc.h"
#include "source/file_track.h"
#include "support/text.h"

namespace zanthrel {

namespace {

Error FileError(const std::string& name, const std::string& what) {
  return Error{"track file " + name + ": " + what};
}

struct OpenedTrackFile {
  HostFile file;
  uint64_t size = 0;
};

Result<OpenedTrackFile> OpenTrackFile(Host& host, const std::string& cuePath, const std::string& name) {
  const std::string path = TrackFilePath(cuePath, name);
  Result<HostFile> file = host.OpenFile(path);
  if (!file) return FileError(name, "cannot be opened (" + ReasonOf(file.Failure(), path) + ")");
  Result<PathInfo> info = file->Info();
  if (!info) return FileError(name, "cannot be examined (" + ErrorText(info.Failure().code) + ")");
  return OpenedTrackFile{std::move(*file), info->size};
}

Error TooShort(const std::string& name, const CueTrack& track, uint64_t fileSize, uint64_t start,
               std::optional<uint64_t> bytes) {
  return FileError(name, "too short for track " + std::to_string(track.number) + " (" +
                             UnsignedDecimal64(fileSize) + " bytes; its " + track.mode +
                             " sectors start at byte " + UnsignedDecimal64(start) +
                             (bytes ? " and take " + UnsignedDecimal64(*bytes) + " bytes" : "") + ")");
}

std::string TrackDescription(const CueTrack& track, const std::string& name) {
  return "cue sheet, track " + std::to_string(track.number) + " (" + track.mode + ") in " + name;
}

FrameMode ModeOf(const CueTrack& track) {
  if (track.kind == TrackKind::kAudio) return FrameMode::kAudio;
  return track.mode.rfind("MODE1", 0) == 0 ? FrameMode::kMode1 : FrameMode::kMode2;
}

// A track as frames of the disc: every record whole or made whole.
Status CheckDiscTrack(const CueSheet& sheet, const CueTrack& track) {
  const std::string& fileType = sheet.files[track.file].type;
  if (fileType != "BINARY" && fileType != "MOTOROLA") {
    return Error{"cue sheet, track " + std::to_string(track.number) + ": a " + fileType +
                 " file, which is read only as a BINARY or MOTOROLA one"};
  }
  if (track.kind == TrackKind::kForm2) {
    return Error{"cue sheet, track " + std::to_string(track.number) + ": " + track.mode +
                 " records cannot be made whole frames"};
  }
  return {};
}

}  // namespace

std::string TrackFilePath(const std::string& cuePath, const std::string& name) {
  if (IsAbsolutePath(name)) return name;
  const std::optional<std::string> folder = FolderPartOf(cuePath);
  return folder ? JoinPath(*folder, name) : name;
}

Result<std::unique_ptr<DiscImage>> OpenCueDisc(Host& host, const std::string& cuePath, std::string_view text) {
  Result<CueSheet> sheet = ParseCueSheet(text);
  if (!sheet) return sheet.Failure();
  Result<CueDataTrack> data = PlaceFirstDataTrack(*sheet);
  if (!data) return data.Failure();
  const std::vector<CueTrackPlace> places = PlaceCueTracks(*sheet);
  std::vector<std::shared_ptr<const HostFile>> files(sheet->files.size());
  std::vector<uint64_t> sizes(sheet->files.size());
  std::vector<StoredTrack> stored;
  for (size_t k = 0; k < sheet->tracks.size(); ++k) {
    const CueTrack& track = sheet->tracks[k];
    if (Status fits = CheckDiscTrack(*sheet, track); !fits) return fits.Failure();
    const std::string& name = sheet->files[track.file].name;
    if (!files[track.file]) {
      Result<OpenedTrackFile> opened = OpenTrackFile(host, cuePath, name);
      if (!opened) return opened.Failure();
      files[track.file] = std::make_shared<const HostFile>(std::move(opened->file));
      sizes[track.file] = opened->size;
    }
    const CueTrackPlace& place = places[k];
    const uint64_t available = RecordsFrom(sizes[track.file], place.start, track.format);
    const uint64_t records = place.records.value_or(available);
    if (records <= place.storedPregap || available < records) {
      return TooShort(
          name, track, sizes[track.file], place.start,
          place.records ? std::optional<uint64_t>(records * track.format.recordSize) : std::nullopt);
    }
    StoredTrack each;
    each.track.number = track.number;
    each.track.mode = ModeOf(track);
    each.track.frames = records;
    each.track.storedPregap = place.storedPregap;
    each.track.pregap = track.pregap;
    each.track.postgap = track.postgap;
    each.records.file = files[track.file];
    each.records.start = place.start;
    each.records.recordSize = track.format.recordSize;
    each.records.swapAudio = track.kind == TrackKind::kAudio && sheet->files[track.file].type == "MOTOROLA";
    stored.push_back(std::move(each));
  }
  const CueTrack& volume = sheet->tracks[data->track];
  return MakeFileDisc(std::move(stored), data->track, TrackDescription(volume, sheet->files[volume.file].name));
}

Result<std::unique_ptr<DataTrack>> OpenCueTrack(Host& host, const std::string& cuePath,
                                                std::string_view text) {
  Result<CueSheet> sheet = ParseCueSheet(text);
  if (!sheet) return sheet.Failure();
  Result<CueDataTrack> place = PlaceFirstDataTrack(*sheet);
  if (!place) return place.Failure();
  const CueTrack& track = sheet->tracks[place->track];
  const std::string& name = sheet->files[track.file].name;

  Result<OpenedTrackFile> opened = OpenTrackFile(host, cuePath, name);
  if (!opened) return opened.Failure();
  const uint64_t available = RecordsFrom(opened->size, place->start, track.format);
  const uint64_t sectors = place->records.value_or(available);
  if (sectors == 0 || available < sectors) {
    return TooShort(name, track, opened->size, place->start,
                    place->records ? std::optional<uint64_t>(sectors * track.format.recordSize) : std::nullopt);
  }
  return std::unique_ptr<DataTrack>(std::make_unique<FileTrack>(
      std::move(opened->file), place->start, track.format, sectors,
      ContainerFields{"cue", {}, uint32_t(track.number), "", TrackDescription(track, name)}));
}

std::vector<std::string> CueSheetFiles(Host& host, const std::string& cuePath) {
  // Only a regular file is opened: a pipe would never end.
  const Result<PathInfo> info = host.InfoOf(cuePath);
  if (!info || info->kind != PathKind::kFile || info->size > kMaxCueSheetSize) return {};
  Result<HostFile> file = host.OpenFile(cuePath);
  if (!file) return {};
  std::string text(size_t(info->size), '\0');
  const Result<size_t> read = file->ReadAt(0, text.data(), text.size());
  if (!read) return {};
  text.resize(*read);
  if (!LooksLikeCueSheet(text)) return {};
  const Result<CueSheet> sheet = ParseCueSheet(text);
  if (!sheet) return {};
  std::vector<std::string> paths;
  for (const CueFile& named : sheet->files) paths.push_back(TrackFilePath(cuePath, named.name));
  return paths;
}

}  // namespace zanthrel
