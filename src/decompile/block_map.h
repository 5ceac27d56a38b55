// The block map: every copy of every directory and extracted file met during
// a decompile, as block ranges; written out sorted, with the holes between
// ranges flagged and dumped into hole files.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "decompile/decompile_run.h"
#include "source/image_source.h"
#include "support/host.h"
#include "volume/copy_list.h"

namespace zanthrel {

struct BlockRange {
  uint32_t firstBlock;
  uint32_t blockCount;
  uint32_t byteCount;  // 0xFFFFFFFF for a directory
  std::string name;    // "ROOT", or the host path of the folder or file
  // For a file: the volume blocks its copy claims, counted in the label's
  // block size; 0 for a directory.
  uint32_t claimedBlocks = 0;
};

// The ranges met during one run, in the order met.
struct BlockMap {
  std::deque<BlockRange> ranges;
};

// Records every copy of the list: a directory's with the block count of its
// first copy, counted on the disc; a file's with its entry's counts.
void RecordDirectoryCopies(BlockMap& map, ImageSource& source, CopyList copies,
                           const std::string& name);
void RecordFileCopies(BlockMap& map, CopyList copies, uint32_t blockCount, uint32_t byteCount,
                      const std::string& name, uint32_t claimedBlocks);

// Files of the disc that claim blocks another file claims too.
struct Overlaps {
  uint64_t files = 0;                 // how many files share blocks with another
  std::vector<std::string> examples;  // the first few: "a and b claim blocks 5-9"
};
Overlaps OverlapsOf(const BlockMap& map);

// Writes base + ".spy" and the hole files into `folder`, never through a
// link that stands there. Returns the files that could not be written.
std::vector<FailedWrite> WriteBlockMap(const BlockMap& map, ImageSource& source, Host& host,
                                       const HostFolder& folder, const std::string& baseName,
                                       uint32_t volumeBlockCount,
                                       TextEncoding encoding = TextEncoding::kCp1251);
// Copies `count` blocks from `firstBlock` on into a new hole file `name` in `folder`.
Status DumpHole(ImageSource& source, Host& host, const HostFolder& folder, const std::string& name,
                int32_t count, uint32_t firstBlock);

// The order in which the map is written: by first block, exactly as an
// exchange sort over the record indexes leaves it.
std::vector<size_t> BlockMapOrder(const std::deque<BlockRange>& ranges);

}  // namespace zanthrel
