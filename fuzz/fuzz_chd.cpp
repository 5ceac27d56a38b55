// Any byte string as a CHD: the header, the metadata, the map and the codecs
// never read outside a buffer nor ask for memory a CD cannot need, and an
// opened track, or the whole disc, reads or fails, sector by sector.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz_disc.h"
#include "fuzz_file.h"
#include "source/chd/chd_container.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zanthrel;
  const std::string path = fuzz::WriteInput(data, size);
  // The same bytes as a whole disc first, every track of it.
  if (Result<HostFile> whole = SystemHost().OpenFile(path)) {
    if (Result<std::unique_ptr<DiscImage>> disc = OpenChdDisc(std::move(*whole), size)) fuzz::ReadDisc(**disc);
  }
  Result<HostFile> file = SystemHost().OpenFile(path);
  if (!file) return 0;
  Result<std::unique_ptr<DataTrack>> track = OpenChdTrack(std::move(*file), size);
  if (!track) return 0;
  DataTrack& opened = **track;
  std::vector<uint8_t> sector(kUserDataSize);
  // The first sectors, then a stride through the rest: every hunk a small image has.
  const uint64_t count = opened.SectorCount();
  const uint64_t step = std::max<uint64_t>(1, count / 64);
  for (uint64_t n = 0; n < count; n += n < 32 ? 1 : step) opened.ReadSectors(n, 1, sector.data());
  return 0;
}
