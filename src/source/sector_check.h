// The check of a raw data sector as a drive makes it: its EDC, and where that
// fails, correction with its P and Q parity; and what the checks of a track's
// sectors found, sector by sector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zanthrel {

enum class SectorCondition {
  kIntact,     // its EDC holds
  kCorrected,  // its ECC mended it, and its EDC then held
  kDamaged,    // its EDC fails and its ECC cannot mend it; left as read
  kUnchecked,  // its EDC and ECC fields are all zero: written without a check
};

// Checks the 2352-byte `sector` of a track of Mode `mode` (1, or 2 for Form 1
// and Form 2) and mends it in place where it can. The sync and, in Mode 2, the
// address that no check covers are restored or left as they are.
SectorCondition CheckRawSector(uint8_t* sector, uint8_t mode);

// Sectors numbered by their 2048 user bytes from the start of the track.
struct SectorRun {
  uint64_t first = 0;
  uint64_t count = 0;
};

// A set of sectors kept as sorted runs, so that a whole damaged or unchecked
// track costs one run; a sector met again is counted once.
class SectorRuns {
 public:
  void Add(uint64_t sector);
  const std::vector<SectorRun>& Runs() const { return runs_; }
  bool Empty() const { return runs_.empty(); }
  uint64_t Count() const;
  // Whether a sector from `first` on, `count` of them, is in the set.
  bool Touches(uint64_t first, uint64_t count) const;

 private:
  std::vector<SectorRun> runs_;
};

// What checking the sectors of a track found so far.
struct SectorFindings {
  SectorRuns corrected;
  SectorRuns damaged;
  SectorRuns unchecked;
  // Some sector carried a check (intact, corrected or damaged).
  bool anyChecked = false;

  // Notes the condition of sector `sector`.
  void Note(uint64_t sector, SectorCondition condition);
};

}  // namespace zanthrel
