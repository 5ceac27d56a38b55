// Cue sheet text: the parser and the placing of the data track never overrun,
// and a placed track lies where its sheet allows.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "source/containers/cue_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zanthrel;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  LooksLikeCueSheet(text);
  Result<CueSheet> sheet = ParseCueSheet(text);
  if (!sheet) return 0;
  Result<CueDataTrack> place = PlaceFirstDataTrack(*sheet);
  if (!place) return 0;
  const CueTrack& track = sheet->tracks.at(place->track);
  if (track.kind != TrackKind::kData || track.file >= sheet->files.size()) std::abort();
  return 0;
}
