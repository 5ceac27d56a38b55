// The block map: every copy of every directory and extracted file met during
// a decompile, as block ranges; written out sorted, with the holes between
// ranges flagged and dumped into hole files.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "source/image_source.h"

namespace zanthrel {

struct BlockRange {
  uint32_t firstBlock;
  uint32_t blockCount;
  uint32_t byteCount;  // 0xFFFFFFFF for a directory
  std::string name;    // "ROOT", or the host path of the folder or file
};

// A copy list read in place: big-endian block numbers, as many as lie inside
// the record that holds them.
struct CopyList {
  const uint8_t* bytes;
  uint32_t count;
  uint32_t operator[](uint32_t i) const;
};

// The process-wide map; records never move once added.
const std::deque<BlockRange>& BlockMap();
void ClearBlockMap();

void RecordDirectoryCopies(ImageSource& source, int32_t copyCount, CopyList copies,
                           const std::string& name);
void RecordFileCopies(int32_t copyCount, CopyList copies, uint32_t blockCount, uint32_t byteCount,
                      const std::string& name);

// Writes base + ".spy" and the hole files into the current directory, unless
// the source's NoAdditionalInfo is set. Returns the host paths that could not
// be written.
std::vector<std::string> WriteBlockMap(ImageSource& source, const std::string& baseName,
                                       uint32_t volumeBlockCount);
// Copies `count` blocks from `firstBlock` on into a new hole file; false when
// the file could not be written.
bool DumpHole(ImageSource& source, const std::string& fileName, int32_t count, uint32_t firstBlock);

// The order in which the map is written: by first block, exactly as an
// exchange sort over the record indexes leaves it.
std::vector<size_t> BlockMapOrder(const std::deque<BlockRange>& ranges);

}  // namespace zanthrel
