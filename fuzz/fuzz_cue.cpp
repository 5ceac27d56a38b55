// Cue sheet text: the parser and the placing of the tracks never overrun, a
// placed track lies where its sheet allows, and the tracks of one file follow
// one another in it.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "source/containers/cue_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zanthrel;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  LooksLikeCueSheet(text);
  Result<CueSheet> sheet = ParseCueSheet(text);
  if (!sheet) return 0;
  const std::vector<CueTrackPlace> places = PlaceCueTracks(*sheet);
  if (places.size() != sheet->tracks.size()) std::abort();
  for (size_t k = 0; k < places.size(); ++k) {
    if (places[k].records && *places[k].records < places[k].storedPregap) std::abort();
    const bool sameFile = k > 0 && sheet->tracks[k - 1].file == sheet->tracks[k].file;
    if (sameFile && places[k - 1].records &&
        places[k].start != places[k - 1].start + *places[k - 1].records * sheet->tracks[k - 1].format.recordSize) {
      std::abort();
    }
  }
  Result<CueDataTrack> place = PlaceFirstDataTrack(*sheet);
  if (!place) return 0;
  const CueTrack& track = sheet->tracks.at(place->track);
  if (track.kind != TrackKind::kData || track.file >= sheet->files.size()) std::abort();
  return 0;
}
