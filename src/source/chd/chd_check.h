// A check of a whole CHD, every track and not only the one read: each hunk
// decoded against its CRC, and the SHA-1s of the header recomputed.
#pragma once

#include <cstdint>
#include <vector>

#include "source/chd/chd_file.h"

namespace zanthrel {

// Hunks `first` to `first + count - 1`.
struct HunkRun {
  uint64_t first = 0;
  uint64_t count = 0;
};

struct ChdCheck {
  uint64_t hunks = 0;
  std::vector<HunkRun> wrongCrc;    // decoded, but their CRC fails
  std::vector<HunkRun> unreadable;  // cut short or not decodable
  // Hunks stored without compression keep no CRC.
  bool crcsKept = false;
  // A header whose SHA-1s are all zeros keeps none (chdman writes no SHA-1
  // into an uncompressed CHD); they are recomputed only when every hunk decoded.
  bool sha1Kept = false;
  bool sha1Checked = false;
  bool rawSha1Differs = false;  // of the data
  bool sha1Differs = false;     // of the data and the metadata
  // The metadata chain broke off, so the overall SHA-1 could not be made.
  bool metadataBroken = false;

  bool Damaged() const {
    return !wrongCrc.empty() || !unreadable.empty() || rawSha1Differs || sha1Differs || metadataBroken;
  }
};

ChdCheck CheckChd(const ChdFile& chd);

}  // namespace zanthrel
