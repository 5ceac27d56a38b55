// The data track of a disc container: the 2048-byte user data of its sectors,
// in order, whatever records the container keeps them in. A sector that the
// container cannot deliver intact is never handed out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "source/container_fields.h"
#include "source/sector_check.h"

namespace zanthrel {

inline constexpr uint32_t kUserDataSize = 2048;

class DataTrack {
 public:
  virtual ~DataTrack() = default;

  virtual uint64_t SectorCount() const = 0;
  // Which container and track this is, for a user: "CHD v5, track 1 of 2 (MODE1_RAW)".
  virtual std::string Description() const = 0;
  // The same, as fields.
  virtual ContainerFields Fields() const = 0;
  // Reads sectors `first`, `first` + 1, ... into `destination`, at most
  // `count`: the number delivered, which stops short at the end of the track
  // or before the first sector that cannot be read intact.
  virtual size_t ReadSectors(uint64_t first, size_t count, uint8_t* destination) = 0;
  // Whether the sectors, or the container's records around them, carry a
  // check that tells damage.
  virtual bool Checked() const = 0;
  // What the checks of raw sectors have found so far; null for a track whose
  // sectors carry no check of their own.
  virtual const SectorFindings* Findings() const { return nullptr; }
  // With `keep`, a raw sector that fails its check and cannot be mended is
  // delivered as read instead of being unreadable.
  virtual void KeepDamaged(bool /*keep*/) {}
};

// Bytes of a track's user data as one stream: up to `count` bytes from
// `position` on. The count read, short at the end of the track or before an
// unreadable sector; 0 at or past the end; -1 when the sector at `position`
// cannot be read.
int64_t ReadTrackBytes(DataTrack& track, uint64_t position, void* destination, size_t count,
                       std::vector<uint8_t>& scratch);

}  // namespace zanthrel
