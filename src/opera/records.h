// On-disc records of the Opera file system: layouts, byte order, constants.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zanthrel::opera {

// Every multi-byte number on the disc is stored most significant byte first.
inline uint32_t ReadBig32(const uint8_t* bytes) {
  return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) |
         uint32_t(bytes[3]);
}

inline void WriteBig32(uint8_t* bytes, uint32_t value) {
  bytes[0] = uint8_t(value >> 24);
  bytes[1] = uint8_t(value >> 16);
  bytes[2] = uint8_t(value >> 8);
  bytes[3] = uint8_t(value);
}

inline constexpr uint32_t kNone = 0xFFFFFFFF;

// Volume label, 132 bytes at byte 0 of block 0.
inline constexpr size_t kLabelSize = 132;
inline constexpr uint8_t kLabelSignature[8] = {0x01, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x01, 0x00};
namespace label {
inline constexpr size_t kRecordType = 0;
inline constexpr size_t kSync = 1;
inline constexpr size_t kVersion = 6;
inline constexpr size_t kFlags = 7;
inline constexpr size_t kComment = 8;
inline constexpr size_t kLabelText = 40;
inline constexpr size_t kTextWidth = 32;
inline constexpr size_t kVolumeId = 72;
inline constexpr size_t kBlockSize = 76;
inline constexpr size_t kBlockCount = 80;
inline constexpr size_t kRootId = 84;
inline constexpr size_t kRootBlockCount = 88;
inline constexpr size_t kRootBlockSize = 92;
inline constexpr size_t kLastRootCopy = 96;
inline constexpr size_t kRootCopies = 100;
inline constexpr uint32_t kRootCopySlots = 8;
}  // namespace label

// Directory block header, 20 bytes at byte 0 of every directory block.
inline constexpr size_t kHeaderSize = 20;
namespace header {
inline constexpr size_t kNextBlock = 0;
inline constexpr size_t kPreviousBlock = 4;
inline constexpr size_t kFlags = 8;
inline constexpr size_t kFirstFree = 12;
inline constexpr size_t kFirstEntry = 16;
}  // namespace header

// Directory entry: 68 fixed bytes, then the copy list.
inline constexpr size_t kEntryFixedSize = 68;
inline constexpr size_t kEntrySize = 72;  // one copy
inline constexpr uint32_t kEntryCopiesHandled = 256;
inline constexpr uint32_t kEntriesPerBlock = 28;
namespace entry {
inline constexpr size_t kFlags = 0;
inline constexpr size_t kUniqueId = 4;
inline constexpr size_t kType = 8;
inline constexpr size_t kBlockSize = 12;
inline constexpr size_t kByteCount = 16;
inline constexpr size_t kBlockCount = 20;
inline constexpr size_t kBurst = 24;
inline constexpr size_t kGap = 28;
inline constexpr size_t kName = 32;
inline constexpr size_t kNameWidth = 32;
inline constexpr size_t kLastCopy = 64;
inline constexpr size_t kCopies = 68;
}  // namespace entry

inline constexpr uint32_t kDirectoryBit = 0x00000001;
inline constexpr uint32_t kLastInBlockBit = 0x40000000;
inline constexpr uint32_t kLastInDirectoryBit = 0x80000000;
inline constexpr uint32_t kKindFile = 2;
inline constexpr uint32_t kKindLabel = 6;
inline constexpr uint32_t kKindDirectory = 7;
inline constexpr std::string_view kTypeDirectory = "*dir";
inline constexpr std::string_view kTypeLabel = "*lbl";
// Fixed: the unused bytes of a compiled image carry this, as every image has.
inline constexpr std::string_view kFillPattern = "iamaduck";

// Length of an entry as its stored last copy index gives it; 64-bit so that a
// corrupt index cannot wrap around.
inline uint64_t EntryLength(uint32_t lastCopyIndex) { return 72 + 4 * uint64_t(lastCopyIndex); }

// How many copies of a copy list to use: the stored last copy index plus one,
// the index read as signed so that a negative one means none, held to the
// slots that the list has and to `limit`.
inline uint32_t CopiesToUse(uint32_t lastCopyIndex, uint64_t slots, uint64_t limit = UINT32_MAX) {
  const int64_t last = int32_t(lastCopyIndex);
  if (last < 0) return 0;
  return uint32_t(std::min({uint64_t(last) + 1, slots, limit}));
}

// A view of the 132 bytes of a volume label.
class LabelView {
 public:
  explicit LabelView(const uint8_t* label) : label_(label) {}

  uint32_t Field(size_t offset) const { return ReadBig32(label_ + offset); }
  uint32_t BlockCount() const { return Field(label::kBlockCount); }
  uint32_t RootBlockCount() const { return Field(label::kRootBlockCount); }
  uint32_t RootBlockSize() const { return Field(label::kRootBlockSize); }
  uint32_t LastRootCopy() const { return Field(label::kLastRootCopy); }
  // The root copies to try: at most the label's 8 slots.
  uint32_t RootCopiesToUse() const { return CopiesToUse(LastRootCopy(), label::kRootCopySlots); }
  uint32_t RootCopy(uint32_t i) const { return Field(label::kRootCopies + 4 * size_t(i)); }
  const uint8_t* Bytes() const { return label_; }

 private:
  const uint8_t* label_;
};

// Fills a buffer with "iamaduck" repeated, in its phase from the buffer start.
void FillPattern(uint8_t* buffer, size_t size);

// A view of one directory entry inside a directory block. It knows where the
// block ends, so that nothing past the block is ever read.
class EntryView {
 public:
  // True when the entry's fixed part lies inside the block at that offset.
  static bool FixedPartFits(size_t blockSize, uint64_t offset) {
    return offset <= blockSize && blockSize - offset >= kEntryFixedSize;
  }

  EntryView(const uint8_t* entry, const uint8_t* blockEnd) : entry_(entry), blockEnd_(blockEnd) {}

  uint32_t Field(size_t offset) const { return ReadBig32(entry_ + offset); }
  uint32_t Flags() const { return Field(entry::kFlags); }
  uint32_t BlockSize() const { return Field(entry::kBlockSize); }
  uint32_t ByteCount() const { return Field(entry::kByteCount); }
  uint32_t BlockCount() const { return Field(entry::kBlockCount); }
  uint32_t LastCopyIndex() const { return Field(entry::kLastCopy); }
  bool IsDirectory() const { return (Flags() & kDirectoryBit) != 0; }
  const uint8_t* Bytes() const { return entry_; }
  const uint8_t* NameField() const { return entry_ + entry::kName; }

  // Number of copy-list slots that lie wholly inside the block.
  uint64_t CopiesInBlock() const { return uint64_t(blockEnd_ - (entry_ + entry::kCopies)) / 4; }
  // Copy i; the caller keeps i below CopiesInBlock().
  uint32_t Copy(uint64_t i) const { return ReadBig32(entry_ + entry::kCopies + 4 * i); }

 private:
  const uint8_t* entry_;
  const uint8_t* blockEnd_;
};

}  // namespace zanthrel::opera
