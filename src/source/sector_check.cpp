#include "source/sector_check.h"

#include <algorithm>
#include <cstring>

#include "source/cd_ecc.h"
#include "source/cd_edc.h"
#include "source/cd_sector.h"

namespace zanthrel {

namespace {

// A drive goes back and forth between P and Q a few times; a byte that one
// mends may let the other mend the next.
constexpr int kCorrectionRounds = 4;

// Byte 2 of a Mode 2 subheader (bytes 18 and 22 of the sector): Form 2.
constexpr uint8_t kForm2Bit = 0x20;

// Where a sector's EDC lies and what it covers; `fieldsEnd` closes the EDC
// and ECC fields, all zero in a sector written without a check.
struct EdcLayout {
  uint32_t coveredFrom;
  uint32_t at;
  uint32_t fieldsEnd;
  bool hasEcc;
};

constexpr EdcLayout kMode1Layout{0, 2064, kCdFrameSize, true};
constexpr EdcLayout kForm1Layout{16, 2072, kCdFrameSize, true};
constexpr EdcLayout kForm2Layout{16, 2348, kCdFrameSize, false};

uint32_t Little32(const uint8_t* at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

bool EdcHolds(const uint8_t* sector, const EdcLayout& layout) {
  return CdEdc(sector + layout.coveredFrom, layout.at - layout.coveredFrom) == Little32(sector + layout.at);
}

bool AllZero(const uint8_t* from, const uint8_t* end) {
  return std::all_of(from, end, [](uint8_t byte) { return byte == 0; });
}

// Both copies of the subheader must say Form 2: a damaged one is left to the
// ECC of Form 1.
const EdcLayout& LayoutOf(const uint8_t* sector, uint8_t mode) {
  if (mode == 1) return kMode1Layout;
  return (sector[18] & kForm2Bit) && (sector[22] & kForm2Bit) ? kForm2Layout : kForm1Layout;
}

}  // namespace

SectorCondition CheckRawSector(uint8_t* sector, uint8_t mode) {
  const EdcLayout& layout = LayoutOf(sector, mode);
  const bool holds = EdcHolds(sector, layout);
  if (holds && Little32(sector + layout.at) != 0) return SectorCondition::kIntact;
  if (AllZero(sector + layout.at, sector + layout.fieldsEnd)) return SectorCondition::kUnchecked;
  if (holds) return SectorCondition::kIntact;
  if (!layout.hasEcc) return SectorCondition::kDamaged;
  // Mended in a copy, so that a sector the ECC cannot mend stays as read.
  uint8_t work[kCdFrameSize];
  std::memcpy(work, sector, kCdFrameSize);
  std::memcpy(work, kCdSync, sizeof kCdSync);
  if (mode == 2) std::memset(work + 12, 0, 4);
  for (int round = 0;; ++round) {
    if (EdcHolds(work, layout)) break;
    if (round == kCorrectionRounds || CorrectEccRound(work) == 0) return SectorCondition::kDamaged;
  }
  if (mode == 2) std::memcpy(work + 12, sector + 12, 4);
  std::memcpy(sector, work, kCdFrameSize);
  return SectorCondition::kCorrected;
}

uint64_t SectorRuns::Count() const {
  uint64_t count = 0;
  for (const SectorRun& run : runs_) count += run.count;
  return count;
}

void SectorRuns::Add(uint64_t sector) {
  // The first run that starts after the sector, and the one before it.
  auto next = std::upper_bound(runs_.begin(), runs_.end(), sector,
                               [](uint64_t value, const SectorRun& run) { return value < run.first; });
  if (next != runs_.begin()) {
    SectorRun& before = *(next - 1);
    if (sector < before.first + before.count) return;
    if (sector == before.first + before.count) {
      ++before.count;
      if (next != runs_.end() && next->first == sector + 1) {
        before.count += next->count;
        runs_.erase(next);
      }
      return;
    }
  }
  if (next != runs_.end() && next->first == sector + 1) {
    --next->first;
    ++next->count;
    return;
  }
  runs_.insert(next, {sector, 1});
}

bool SectorRuns::Touches(uint64_t first, uint64_t count) const {
  auto next = std::upper_bound(runs_.begin(), runs_.end(), first,
                               [](uint64_t value, const SectorRun& run) { return value < run.first; });
  if (next != runs_.begin() && first < (next - 1)->first + (next - 1)->count) return true;
  return next != runs_.end() && next->first < first + count;
}

void SectorFindings::Note(uint64_t sector, SectorCondition condition) {
  anyChecked = anyChecked || condition != SectorCondition::kUnchecked;
  switch (condition) {
    case SectorCondition::kIntact: return;
    case SectorCondition::kCorrected: corrected.Add(sector); return;
    case SectorCondition::kDamaged: damaged.Add(sector); return;
    case SectorCondition::kUnchecked: unchecked.Add(sector); return;
  }
}

}  // namespace zanthrel
