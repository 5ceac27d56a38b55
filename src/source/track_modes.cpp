#include "source/track_modes.h"

namespace zanthrel {

namespace {

struct NamedMode {
  std::string_view name;
  bool inCueSheet;
  bool inChd;
  TrackMode mode;
};

constexpr TrackMode kAudio{TrackKind::kAudio, {kCdFrameSize, 0}};
constexpr TrackMode kForm2{TrackKind::kForm2, {2324, 0}};
constexpr TrackMode kCookedData{TrackKind::kData, kCooked};
constexpr TrackMode kMode1RawData{TrackKind::kData, kMode1Raw};
constexpr TrackMode kMode2RecordData{TrackKind::kData, kMode2Records};
constexpr TrackMode kMode2RawData{TrackKind::kData, kMode2Raw};

constexpr NamedMode kModes[] = {
    {"AUDIO", true, true, kAudio},
    {"MODE1/2048", true, true, kCookedData},
    {"MODE2/2048", true, true, kCookedData},
    {"MODE1/2352", true, true, kMode1RawData},
    {"MODE2/2324", true, true, kForm2},
    {"MODE2/2336", true, true, kMode2RecordData},
    {"CDI/2336", true, true, kMode2RecordData},
    {"MODE2/2352", true, true, kMode2RawData},
    {"CDI/2352", true, true, kMode2RawData},
    // Audio with its subcode beside each frame.
    {"CDG", true, false, {TrackKind::kAudio, {kCdFrameSize + kCdSubcodeSize, 0}}},
    // A CHD's own names.
    {"MODE1", false, true, kCookedData},
    {"MODE2_FORM1", false, true, kCookedData},
    {"MODE1_RAW", false, true, kMode1RawData},
    {"MODE2_FORM2", false, true, kForm2},
    {"MODE2", false, true, kMode2RecordData},
    {"MODE2_FORM_MIX", false, true, kMode2RecordData},
    {"MODE2_RAW", false, true, kMode2RawData},
};

}  // namespace

std::optional<TrackMode> FindTrackMode(std::string_view name, TrackNaming naming) {
  for (const NamedMode& named : kModes) {
    const bool used = naming == TrackNaming::kCueSheet ? named.inCueSheet : named.inChd;
    if (used && named.name == name) return named.mode;
  }
  return std::nullopt;
}

}  // namespace zanthrel
