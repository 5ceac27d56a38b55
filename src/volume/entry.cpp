#include "volume/entry.h"

#include <algorithm>

#include "support/text.h"

namespace zanthrel {

std::string EntryName(const opera::EntryView& entry) {
  return FieldText(entry.NameField(), opera::entry::kNameWidth);
}

CopyList CopiesOf(const opera::EntryView& entry) {
  return {entry.Bytes() + opera::entry::kCopies,
          opera::CopiesToUse(entry.LastCopyIndex(), entry.CopiesInBlock())};
}

CopyList HandledCopiesOf(const opera::EntryView& entry) {
  const CopyList all = CopiesOf(entry);
  return {all.bytes, std::min(all.count, opera::kEntryCopiesHandled)};
}

bool IsDiscLabelName(std::string_view name) { return TrimBlanks(LowerCase(name)) == "disc label"; }

uint32_t RecordBlock(uint32_t firstBlock, uint64_t index, uint32_t recordSize,
                     uint32_t volumeBlockSize) {
  return uint32_t(firstBlock + index * recordSize / volumeBlockSize);
}

VolumeExtent VolumeExtentOf(const opera::LabelView& label) {
  return {label.BlockCount(), label.Field(opera::label::kBlockSize)};
}

FileBlocks FileBlocksOf(const opera::EntryView& entry, const VolumeExtent& volume, uint32_t firstBlock) {
  const uint32_t count = entry.BlockCount();
  // Fixed: a count below 2^31 is read whole, as it always was, wherever it ends.
  if (count <= uint32_t(INT32_MAX)) return {count, false};
  if (entry.BlockSize() == 0) return {};
  const uint64_t volumeBytes = uint64_t(volume.blockCount) * volume.blockSize;
  const uint64_t start = uint64_t(firstBlock) * volume.blockSize;
  const uint64_t held = start < volumeBytes ? (volumeBytes - start) / entry.BlockSize() : 0;
  return {uint32_t(std::min<uint64_t>(count, held)), held < count};
}

uint64_t FileBytesFrom(const opera::EntryView& entry, const VolumeExtent& volume, uint32_t firstBlock) {
  const uint64_t blocks = FileBlocksOf(entry, volume, firstBlock).count;
  return std::min<uint64_t>(entry.ByteCount(), blocks * entry.BlockSize());
}

uint64_t FileBytes(const opera::EntryView& entry, const VolumeExtent& volume) {
  const CopyList copies = HandledCopiesOf(entry);
  return FileBytesFrom(entry, volume, copies.count > 0 ? copies[0] : 0);
}

}  // namespace zanthrel
