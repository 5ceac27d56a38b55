#include "volume/directory_block.h"

#include "opera/records.h"

namespace zanthrel {

std::optional<std::vector<uint32_t>> EntryOffsets(std::span<const uint8_t> block) {
  if (block.size() < opera::kHeaderSize) return std::nullopt;
  const uint64_t firstEntry = opera::ReadBig32(block.data() + opera::header::kFirstEntry);
  const uint64_t firstFree = opera::ReadBig32(block.data() + opera::header::kFirstFree);
  if (firstEntry < opera::kHeaderSize || firstEntry > block.size() || firstFree < firstEntry ||
      firstFree > block.size()) {
    return std::nullopt;
  }
  std::vector<uint32_t> offsets;
  for (uint64_t offset = firstEntry; offset < firstFree;) {
    // The fixed part first: it holds the length of the rest.
    if (firstFree - offset < opera::kEntryFixedSize) return std::nullopt;
    const opera::EntryView entry(block.data() + offset, block.data() + firstFree);
    const uint64_t length = opera::EntryLength(entry.LastCopyIndex());
    if (firstFree - offset < length) return std::nullopt;
    offsets.push_back(uint32_t(offset));
    if (entry.Flags() & (opera::kLastInBlockBit | opera::kLastInDirectoryBit)) break;
    offset += length;
  }
  return offsets;
}

}  // namespace zanthrel
