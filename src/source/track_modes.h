// The modes of CD tracks by the names a cue sheet's TRACK command and a CHD's
// track metadata give them, with how each mode's sectors are stored.
#pragma once

#include <optional>
#include <string_view>

#include "source/cd_sector.h"

namespace zanthrel {

// What a track's sectors hold.
enum class TrackKind {
  kAudio,
  kData,   // 2048 user bytes a sector
  kForm2,  // MODE2/2324: Form 2 sectors, which hold no 2048-byte user data
};

struct TrackMode {
  TrackKind kind;
  RecordFormat format;
};

// Whose names: a cue sheet's, or a CHD's (which takes the cue sheet's
// spellings of the data modes too, but not CDG).
enum class TrackNaming { kCueSheet, kChd };

// The mode that `name` (in upper case) stands for in `naming`; none for a
// name that it does not use.
std::optional<TrackMode> FindTrackMode(std::string_view name, TrackNaming naming);

}  // namespace zanthrel
