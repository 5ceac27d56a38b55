// The layout of a volume: every record of it (label, directory blocks in
// every copy, every entry and where each copy of it lies), and what decompile
// wrote each entry as, so that compile can build the same disc again from the
// folder decompile wrote. Whatever the records and the files do not give
// again (blocks that no entry claims, the bytes behind a file's end, a copy
// that differs from the first, odd bytes in a record) is kept as whole blocks
// in a file beside the layout and laid over the rebuilt image.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zanthrel {

inline constexpr int kLayoutVersion = 1;

// The label's fields as stored (text fields Windows-1251, up to their first
// zero byte).
struct LayoutLabel {
  uint8_t recordType = 1;
  uint8_t version = 1;
  uint8_t flags = 0;
  std::string comment;
  std::string text;
  uint32_t volumeId = 0;
  uint32_t blockSize = 2048;
  uint32_t blockCount = 0;
  uint32_t rootId = 0;
  uint32_t rootBlockCount = 0;
  uint32_t rootBlockSize = 0;
  uint32_t lastRootCopy = 0;
  std::array<uint32_t, 8> rootCopies{};

  bool operator==(const LayoutLabel&) const = default;
};

// One directory entry, every field as stored.
struct LayoutEntry {
  // Where decompile wrote it, relative to the output folder, host names
  // joined by "/", in the host's encoding; empty for an entry that decompile
  // does not write (the root's label entry when it is not extracted).
  std::string hostPath;
  uint32_t flags = 0;
  uint32_t uniqueId = 0;
  std::array<uint8_t, 4> type{};
  uint32_t blockSize = 0;
  uint32_t byteCount = 0;
  uint32_t blockCount = 0;
  uint32_t burst = 0;
  uint32_t gap = 0;
  std::string name;  // Windows-1251, up to its first zero byte
  uint32_t lastCopyIndex = 0;
  std::vector<uint32_t> copies;  // the copy list as stored, lastCopyIndex + 1 of them
  // A file's content as decompile wrote it: its SHA-1 in lower-case hex, so
  // that compile knows an unchanged file. Empty for a folder.
  std::string sha1;

  bool IsDirectory() const { return (flags & 1) != 0; }
  bool operator==(const LayoutEntry&) const = default;
};

// The header of one block of a directory copy, and how many of the
// directory's entries (in order) lie in it.
struct LayoutDirectoryBlock {
  uint32_t next = 0;
  uint32_t previous = 0;
  uint32_t flags = 0;
  uint32_t firstFree = 0;
  uint32_t firstEntry = 0;
  uint32_t entryCount = 0;

  bool operator==(const LayoutDirectoryBlock&) const = default;
};

// A directory as read from its first copy that reads whole; every copy is
// built from it.
struct LayoutDirectory {
  std::string hostPath;  // "" for the root
  uint32_t blockSize = 0;
  uint32_t blockCount = 0;
  std::vector<uint32_t> copies;  // first block of each copy
  std::vector<LayoutDirectoryBlock> blocks;
  std::vector<LayoutEntry> entries;  // in the order of the directory's blocks

  bool operator==(const LayoutDirectory&) const = default;
};

// A run of whole volume blocks kept in the blocks file, laid over the
// rebuilt image as they are.
struct LayoutPatch {
  uint32_t firstBlock = 0;
  uint32_t blockCount = 0;
  uint64_t offset = 0;  // byte offset in the blocks file

  bool operator==(const LayoutPatch&) const = default;
};

struct DiscLayout {
  int version = kLayoutVersion;
  // Blocks of the image as decompile read it (its data track's 2048-byte
  // form); may differ from the label's block count.
  uint32_t imageBlocks = 0;
  LayoutLabel label;
  // The root first, then every directory in the order decompile walks them.
  std::vector<LayoutDirectory> directories;
  // The blocks file's name, beside the layout file.
  std::string blocksFile;
  std::vector<LayoutPatch> patches;

  bool operator==(const DiscLayout&) const = default;
};

}  // namespace zanthrel
