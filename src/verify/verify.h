// A check of every copy of every directory and file of an image, not just the
// first copy that reads: what cannot be read, which copies differ from the
// first, which blocks two entries claim and which blocks nothing claims.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "source/container_check.h"
#include "source/image_source.h"
#include "support/host.h"
#include "support/progress.h"

namespace zanthrel {

// Blocks of the volume, in the label's block size.
struct BlockSpan {
  uint32_t firstBlock = 0;
  uint32_t blockCount = 0;
};

// Paths are Opera names in UTF-8 joined by "/", from "/" for the root.
struct CopyProblem {
  std::string path;
  uint32_t copy = 0;  // the index in the entry's copy list
  BlockSpan blocks;   // unreadable, or differing from the first copy
};

struct SharedBlocks {
  BlockSpan blocks;
  std::string firstPath;
  std::string secondPath;
};

struct VerifyReport {
  bool labelRead = false;
  uint32_t volumeBlocks = 0;
  uint64_t directories = 0;
  uint64_t files = 0;
  uint64_t copiesRead = 0;
  std::vector<CopyProblem> unreadable;
  // Directory copies whose walk broke off (a block whose header is impossible,
  // named by that block; a chain of blocks in a circle, a directory inside
  // itself, named by the copy's first block).
  std::vector<CopyProblem> corrupt;
  std::vector<CopyProblem> differing;
  std::vector<SharedBlocks> shared;
  // Not damage: the boot area and the padding of a volume belong to no entry.
  std::vector<BlockSpan> unclaimed;
  // Raw sectors that failed their EDC: those their ECC corrected, and those
  // it could not (whose blocks read as unreadable above).
  std::vector<BlockSpan> correctedSectors;
  std::vector<BlockSpan> damagedSectors;
  // Whether any sector of the image carries a check; when none does, a file
  // with one copy cannot show damage, and `oneCopyFiles` says how many.
  bool sectorsChecked = true;
  uint64_t oneCopyFiles = 0;
  // Where sectors carry checks but some do not (raw sectors written with
  // their EDC and ECC all zero): the files with one copy that lie in them.
  std::vector<std::string> unchecked;
  // The image file's own records (VerifyImageAndContainer); its sectors that the
  // volume's blocks above already report are left out of it.
  ContainerCheck container;

  bool Damaged() const {
    return !labelRead || !unreadable.empty() || !corrupt.empty() || !differing.empty() ||
           !shared.empty() || !correctedSectors.empty() || !damagedSectors.empty() || container.Damaged();
  }
};

// `progress` hears of the bytes of files checked (one copy's worth each)
// against the volume's bytes, as decompile counts them.
VerifyReport VerifyImage(ImageSource& source, const Progress& progress = {});
// VerifyImage, and meanwhile, on a thread of its own, the check of the
// records of the file `source` was opened from (CheckContainerOf). Each
// decodes what it reads (a CHD's hunks), so on two cores the two take about
// as long as the longer of them.
VerifyReport VerifyImageAndContainer(ImageSource& source, Host& host, const Progress& progress = {});

}  // namespace zanthrel
