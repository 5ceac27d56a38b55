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

uint64_t FileBytes(const opera::EntryView& entry) {
  const int32_t blocks = int32_t(entry.BlockCount());
  if (blocks <= 0 || entry.BlockSize() == 0) return 0;
  return std::min<uint64_t>(entry.ByteCount(), uint64_t(blocks) * entry.BlockSize());
}

}  // namespace zanthrel
