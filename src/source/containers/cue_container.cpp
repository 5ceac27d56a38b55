#include "source/containers/cue_container.h"

#include "source/containers/cue_sheet.h"
#include "source/file_track.h"
#include "support/text.h"

namespace zanthrel {

namespace {

Error FileError(const std::string& name, const std::string& what) {
  return Error{"track file " + name + ": " + what};
}

}  // namespace

std::string TrackFilePath(const std::string& cuePath, const std::string& name) {
  if (IsAbsolutePath(name)) return name;
  const std::optional<std::string> folder = FolderPartOf(cuePath);
  return folder ? JoinPath(*folder, name) : name;
}

Result<std::unique_ptr<DataTrack>> OpenCueTrack(Host& host, const std::string& cuePath,
                                                std::string_view text) {
  Result<CueSheet> sheet = ParseCueSheet(text);
  if (!sheet) return sheet.Failure();
  Result<CueDataTrack> place = PlaceFirstDataTrack(*sheet);
  if (!place) return place.Failure();
  const CueTrack& track = sheet->tracks[place->track];
  const std::string& name = sheet->files[track.file].name;

  const std::string path = TrackFilePath(cuePath, name);
  Result<HostFile> file = host.OpenFile(path);
  if (!file) return FileError(name, "cannot be opened (" + ReasonOf(file.Failure(), path) + ")");
  Result<PathInfo> info = file->Info();
  if (!info) return FileError(name, "cannot be examined (" + ErrorText(info.Failure().code) + ")");
  const uint64_t available = RecordsFrom(info->size, place->start, track.format);
  const uint64_t sectors = place->records.value_or(available);
  if (sectors == 0 || available < sectors) {
    return FileError(
        name,
        "too short for track " + std::to_string(track.number) + " (" + UnsignedDecimal64(info->size) +
            " bytes; its " + track.mode + " sectors start at byte " + UnsignedDecimal64(place->start) +
            (place->records ? " and take " + UnsignedDecimal64(sectors * track.format.recordSize) + " bytes"
                            : "") +
            ")");
  }
  return std::unique_ptr<DataTrack>(std::make_unique<FileTrack>(
      std::move(*file), place->start, track.format, sectors,
      "cue sheet, track " + std::to_string(track.number) + " (" + track.mode + ") in " + name));
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
