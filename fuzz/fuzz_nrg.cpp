// Any byte string as an NRG image: the footer, the chunk chain and the track
// tables never make a read go astray, and an opened track or disc reads or fails.
#include <cstdint>
#include <vector>

#include "fuzz_disc.h"
#include "fuzz_file.h"
#include "source/containers/nrg_container.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zanthrel;
  const std::string path = fuzz::WriteInput(data, size);
  // The same bytes as a whole disc first, every track of it.
  if (Result<HostFile> whole = SystemHost().OpenFile(path)) {
    if (Result<std::unique_ptr<DiscImage>> disc = OpenNrgDisc(std::move(*whole), size)) fuzz::ReadDisc(**disc);
  }
  Result<HostFile> file = SystemHost().OpenFile(path);
  if (!file) return 0;
  Result<std::unique_ptr<DataTrack>> track = OpenNrgTrack(std::move(*file), size);
  if (!track) return 0;
  std::vector<uint8_t> sectors(16 * kUserDataSize);
  (*track)->ReadSectors(0, 16, sectors.data());
  (*track)->ReadSectors((*track)->SectorCount() - 1, 16, sectors.data());
  return 0;
}
