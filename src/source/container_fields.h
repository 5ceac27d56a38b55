// Which container an image came in, as fields a script can read: the same
// facts that the container's description tells a person.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "source/cd_sector.h"

namespace zanthrel {

struct ContainerFields {
  // "iso" (plain 2048-byte sectors), "gzip", "raw" (a .bin of raw sectors),
  // "cue", "nrg", "chd" or "drive".
  std::string format;
  // A CHD's codecs by their tags ("zstd", "cdlz", ...), in its header's order;
  // empty for every other container and for an uncompressed CHD.
  std::vector<std::string> codecs;
  // The number of the track read, for a container of tracks; 0 otherwise.
  uint32_t track = 0;
  // How the volume's sectors are stored, by a cue sheet's names:
  // "MODE1/2048", "MODE1/2352", "MODE2/2336" or "MODE2/2352".
  std::string mode;
  // For a person: "plain", "gzip", "drive", "raw 2352", "CHD v5 (...), ...".
  std::string description;
};

// The cue sheet's name of the records of `format`.
std::string RecordModeName(RecordFormat format);

}  // namespace zanthrel
