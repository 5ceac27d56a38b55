#include "source/data_track.h"

#include <algorithm>
#include <cstring>

namespace zanthrel {

int64_t ReadTrackBytes(DataTrack& track, uint64_t position, void* destination, size_t count,
                       std::vector<uint8_t>& scratch) {
  const uint64_t sectors = track.SectorCount();
  if (position >= sectors * kUserDataSize || count == 0) return 0;
  count = size_t(std::min<uint64_t>(count, sectors * kUserDataSize - position));
  auto* out = static_cast<uint8_t*>(destination);
  size_t done = 0;
  while (done < count) {
    const uint64_t sector = (position + done) / kUserDataSize;
    const size_t offset = size_t((position + done) % kUserDataSize);
    const size_t wholeSectors = (count - done) / kUserDataSize;
    if (offset == 0 && wholeSectors > 0) {
      const size_t read = track.ReadSectors(sector, wholeSectors, out + done);
      done += read * kUserDataSize;
      if (read < wholeSectors) break;
      continue;
    }
    // A sector that the request takes only part of passes through the scratch.
    scratch.resize(kUserDataSize);
    if (track.ReadSectors(sector, 1, scratch.data()) != 1) break;
    const size_t take = std::min(count - done, kUserDataSize - offset);
    std::memcpy(out + done, scratch.data() + offset, take);
    done += take;
  }
  return done == 0 ? -1 : int64_t(done);
}

}  // namespace zanthrel
