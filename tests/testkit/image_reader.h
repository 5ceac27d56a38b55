// Reads an Opera image back with plain byte offsets, independently of the
// code under test: the counterpart of ImageBuilder, for checking what compile
// wrote record by record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testkit/files.h"

namespace zanthrel::testkit {

struct ImageEntry {
  uint32_t flags, id, type, byteCount, blockCount, copy;  // copy: the last copy's block
  std::string name;
};

struct ImageDirectoryBlock {
  uint32_t next, previous, firstFree;
  std::vector<ImageEntry> entries;
};

struct ImageReader {
  Bytes bytes;

  // The big-endian word at `offset` in `block`.
  uint32_t Field(uint32_t block, size_t offset) const;
  uint32_t BlockCount() const { return uint32_t(bytes.size() / 2048); }
  // The root's block, as the label gives it.
  uint32_t RootBlock() const { return Field(0, 100); }
  ImageDirectoryBlock DirectoryBlock(uint32_t block) const;
  // Every entry of a directory, following its blocks.
  std::vector<ImageEntry> Directory(uint32_t first) const;
  // The entry `name` of a directory; throws when there is none.
  ImageEntry Find(uint32_t directory, const std::string& name) const;
  // The bytes of `count` blocks from `first` on.
  Bytes Blocks(uint32_t first, uint32_t count) const;
};

}  // namespace zanthrel::testkit
