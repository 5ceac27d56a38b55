// A cue sheet read into its files and tracks, and where its data tracks'
// records lie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "source/cd_sector.h"
#include "source/track_modes.h"
#include "support/result.h"

namespace zanthrel {

struct CueFile {
  std::string name;  // as written, quotes removed
  std::string type;  // BINARY, MOTOROLA, WAVE, ... in upper case
};

struct CueTrack {
  uint32_t number = 0;
  std::string mode;  // as written, in upper case
  TrackKind kind = TrackKind::kAudio;
  RecordFormat format{kCdFrameSize, 0};
  size_t file = 0;  // index into CueSheet::files
  // Frames from the start of the file.
  std::optional<uint64_t> index0;
  std::optional<uint64_t> index1;
  uint64_t pregap = 0;   // frames that are not in the file
  uint64_t postgap = 0;  // the same, after the track
};

struct CueSheet {
  std::vector<CueFile> files;
  std::vector<CueTrack> tracks;
};

// True when the text reads as a cue sheet: no zero bytes, and a FILE command.
bool LooksLikeCueSheet(std::string_view text);

// Reads a cue sheet; a failure names the line and what is wrong with it.
Result<CueSheet> ParseCueSheet(std::string_view text);

// Where a track's records lie in its file: its stored pregap (INDEX 00 to
// INDEX 01) from byte `start` on, then the track itself; `records` of them,
// the pregap's included, when the next track of the same file bounds the
// track, else up to the end of the file.
struct CueTrackPlace {
  uint64_t start = 0;
  uint64_t storedPregap = 0;
  std::optional<uint64_t> records;
};
// Every track's place, in the sheet's order.
std::vector<CueTrackPlace> PlaceCueTracks(const CueSheet& sheet);

// Where the first data track's records lie in its file: from byte `start`
// on, `records` of them when the next track of the same file bounds the
// track, else up to the end of the file.
struct CueDataTrack {
  size_t track = 0;  // index into CueSheet::tracks
  uint64_t start = 0;
  std::optional<uint64_t> records;
};
Result<CueDataTrack> PlaceFirstDataTrack(const CueSheet& sheet);
// The same for the data track `index` of the sheet's tracks.
Result<CueDataTrack> PlaceDataTrack(const CueSheet& sheet, size_t index);

}  // namespace zanthrel
