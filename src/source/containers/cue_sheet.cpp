#include "source/containers/cue_sheet.h"

#include <algorithm>

#include "support/text.h"

namespace zanthrel {

namespace {

constexpr uint32_t kMaxTracks = 99;

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  }
  return upper;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The tokens of one line: blanks split them, and a double-quoted string is
// one token up to the next quote, without the quotes.
std::vector<std::string> Tokens(std::string_view line) {
  std::vector<std::string> tokens;
  size_t at = 0;
  while (at < line.size()) {
    if (IsBlank(line[at])) {
      ++at;
    } else if (line[at] == '"') {
      const size_t close = line.find('"', at + 1);
      const size_t end = close == std::string_view::npos ? line.size() : close;
      tokens.emplace_back(line.substr(at + 1, end - at - 1));
      at = end + 1;
    } else {
      size_t end = at;
      while (end < line.size() && !IsBlank(line[end])) ++end;
      tokens.emplace_back(line.substr(at, end - at));
      at = end;
    }
  }
  return tokens;
}

// The text's lines, whatever their ends (CR, LF or CRLF), a leading BOM left out.
std::vector<std::string_view> Lines(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  return lines;
}

// "mm:ss:ff" in frames, or a bare count of frames.
std::optional<uint64_t> Frames(std::string_view time) {
  const size_t first = time.find(':');
  if (first == std::string_view::npos) return DecimalValue(time, 9);
  const size_t second = time.find(':', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const auto minutes = DecimalValue(time.substr(0, first), 4);
  const auto seconds = DecimalValue(time.substr(first + 1, second - first - 1), 2);
  const auto frames = DecimalValue(time.substr(second + 1), 2);
  if (!minutes || !seconds || !frames || *seconds >= 60 || *frames >= kFramesPerSecond) {
    return std::nullopt;
  }
  return (*minutes * 60 + *seconds) * kFramesPerSecond + *frames;
}

Error LineError(size_t line, const std::string& what) {
  return Error{"cue sheet, line " + std::to_string(line) + ": " + what};
}

Error TrackError(const CueTrack& track, const std::string& what) {
  return Error{"cue sheet, track " + std::to_string(track.number) + ": " + what};
}

uint64_t FirstIndex(const CueTrack& track) { return track.index0 ? *track.index0 : *track.index1; }

// Every track has its INDEX 01, and the positions in each file run forward.
Status CheckTracks(const CueSheet& sheet) {
  if (sheet.tracks.empty()) return Error{"cue sheet: no TRACK"};
  for (size_t k = 0; k < sheet.tracks.size(); ++k) {
    const CueTrack& track = sheet.tracks[k];
    if (!track.index1) return TrackError(track, "no INDEX 01");
    if (track.index0 && *track.index0 > *track.index1) {
      return TrackError(track, "INDEX 00 lies after INDEX 01");
    }
    if (k > 0 && sheet.tracks[k - 1].file == track.file && FirstIndex(track) < *sheet.tracks[k - 1].index1) {
      return TrackError(track, "starts before the track in front of it");
    }
  }
  return {};
}

}  // namespace

bool LooksLikeCueSheet(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return false;
  for (std::string_view line : Lines(text)) {
    const std::vector<std::string> tokens = Tokens(line);
    if (tokens.size() >= 2 && UpperCase(tokens[0]) == "FILE") return true;
  }
  return false;
}

Result<CueSheet> ParseCueSheet(std::string_view text) {
  CueSheet sheet;
  const std::vector<std::string_view> lines = Lines(text);
  for (size_t n = 0; n < lines.size(); ++n) {
    const size_t lineNumber = n + 1;
    const std::vector<std::string> tokens = Tokens(lines[n]);
    if (tokens.empty()) continue;
    const std::string command = UpperCase(tokens[0]);
    CueTrack* track = sheet.tracks.empty() ? nullptr : &sheet.tracks.back();
    if (command == "FILE") {
      if (tokens.size() < 2 || tokens[1].empty()) return LineError(lineNumber, "FILE without a name");
      sheet.files.push_back({tokens[1], tokens.size() > 2 ? UpperCase(tokens[2]) : "BINARY"});
    } else if (command == "TRACK") {
      if (sheet.files.empty()) return LineError(lineNumber, "TRACK before any FILE");
      if (tokens.size() < 3) return LineError(lineNumber, "TRACK needs a number and a mode");
      const auto number = DecimalValue(tokens[1], 2);
      if (!number || *number < 1 || *number > kMaxTracks || (track && *number <= track->number)) {
        return LineError(lineNumber, "track number " + tokens[1] + " out of order");
      }
      const std::string mode = UpperCase(tokens[2]);
      const std::optional<TrackMode> known = FindTrackMode(mode, TrackNaming::kCueSheet);
      if (!known) return LineError(lineNumber, "unknown track mode " + tokens[2]);
      CueTrack next;
      next.number = uint32_t(*number);
      next.mode = mode;
      next.kind = known->kind;
      next.format = known->format;
      next.file = sheet.files.size() - 1;
      sheet.tracks.push_back(next);
    } else if (command == "INDEX" || command == "PREGAP" || command == "POSTGAP") {
      if (!track) return LineError(lineNumber, command + " before any TRACK");
      const bool index = command == "INDEX";
      if (tokens.size() < (index ? 3u : 2u)) return LineError(lineNumber, command + " without a time");
      const auto frames = Frames(tokens[index ? 2 : 1]);
      if (!frames) return LineError(lineNumber, "bad time " + tokens[index ? 2 : 1]);
      if (!index) {
        (command == "PREGAP" ? track->pregap : track->postgap) = *frames;
        continue;
      }
      const auto number = DecimalValue(tokens[1], 2);
      if (!number) return LineError(lineNumber, "bad index number " + tokens[1]);
      if (*number > 1) continue;
      std::optional<uint64_t>& slot = *number == 0 ? track->index0 : track->index1;
      if (slot) return LineError(lineNumber, "INDEX " + tokens[1] + " given twice");
      slot = *frames;
    }
  }
  if (Status checked = CheckTracks(sheet); !checked) return checked.Failure();
  return sheet;
}

std::vector<CueTrackPlace> PlaceCueTracks(const CueSheet& sheet) {
  std::vector<CueTrackPlace> places(sheet.tracks.size());
  for (size_t k = 0; k < sheet.tracks.size(); ++k) {
    const CueTrack& track = sheet.tracks[k];
    // The byte where each track of a file begins follows from the tracks in
    // front of it, which may keep other record sizes.
    const bool firstInFile = k == 0 || sheet.tracks[k - 1].file != track.file;
    if (firstInFile) {
      places[k].start = FirstIndex(track) * track.format.recordSize;
    } else {
      const CueTrack& previous = sheet.tracks[k - 1];
      places[k].start =
          places[k - 1].start + (FirstIndex(track) - FirstIndex(previous)) * previous.format.recordSize;
    }
    places[k].storedPregap = *track.index1 - FirstIndex(track);
    if (k + 1 < sheet.tracks.size() && sheet.tracks[k + 1].file == track.file) {
      places[k].records = FirstIndex(sheet.tracks[k + 1]) - FirstIndex(track);
    }
  }
  return places;
}

Result<CueDataTrack> PlaceFirstDataTrack(const CueSheet& sheet) {
  const auto data = std::find_if(sheet.tracks.begin(), sheet.tracks.end(),
                                 [](const CueTrack& t) { return t.kind != TrackKind::kAudio; });
  if (data == sheet.tracks.end()) return Error{"cue sheet: no data track, only audio"};
  return PlaceDataTrack(sheet, size_t(data - sheet.tracks.begin()));
}

Result<CueDataTrack> PlaceDataTrack(const CueSheet& sheet, size_t dataIndex) {
  const CueTrack* data = &sheet.tracks[dataIndex];
  if (data->kind == TrackKind::kForm2) {
    return TrackError(*data, data->mode + " sectors hold no 2048-byte user data");
  }
  const std::string& fileType = sheet.files[data->file].type;
  if (fileType != "BINARY" && fileType != "MOTOROLA") {
    return TrackError(*data, "a data track in a " + fileType + " file");
  }
  const CueTrackPlace where = PlaceCueTracks(sheet)[dataIndex];
  CueDataTrack place;
  place.track = dataIndex;
  place.start = where.start + where.storedPregap * data->format.recordSize;
  if (where.records) place.records = *where.records - where.storedPregap;
  return place;
}

}  // namespace zanthrel
