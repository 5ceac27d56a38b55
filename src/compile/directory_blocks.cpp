#include "compile/directory_blocks.h"

#include <cstring>

#include "opera/records.h"

namespace zanthrel {

using opera::WriteBig32;

int32_t WriteDirectoryBlocks(ImageFile& image, std::vector<EntryBytes>& entries) {
  namespace H = opera::header;
  const uint32_t perBlock = opera::kEntriesPerBlock;
  size_t remaining = entries.size();
  size_t next = 0;
  uint32_t index = 0;
  std::vector<uint8_t> block(kImageBlockSize);
  do {
    opera::FillPattern(block.data(), block.size());
    const bool final = remaining <= perBlock;
    const size_t count = final ? remaining : perBlock;
    WriteBig32(&block[H::kNextBlock], final ? opera::kNone : index + 1);
    WriteBig32(&block[H::kPreviousBlock], index - 1);
    WriteBig32(&block[H::kFlags], 0);
    WriteBig32(&block[H::kFirstFree], uint32_t(opera::kHeaderSize + opera::kEntrySize * count));
    WriteBig32(&block[H::kFirstEntry], opera::kHeaderSize);
    if (!final) {
      uint8_t* flags = &entries[next + count - 1][opera::entry::kFlags];
      WriteBig32(flags, opera::ReadBig32(flags) | opera::kLastInBlockBit);
    }
    for (size_t j = 0; j < count; ++j) {
      std::memcpy(&block[opera::kHeaderSize + opera::kEntrySize * j], entries[next + j].data(),
                  opera::kEntrySize);
    }
    image.Append(block.data(), 1);
    next += count;
    remaining -= count;
    ++index;
  } while (remaining != 0);
  return image.Cursor();
}

}  // namespace zanthrel
