#include "volume/walk.h"

#include <optional>
#include <unordered_set>

#include "volume/directory_block.h"
#include "volume/entry.h"

namespace zanthrel {

bool WalkPath::Enter(uint32_t firstBlock) {
  if (Full() || OnPath(firstBlock)) return false;
  if (finished_.contains(firstBlock)) {
    // Every finished copy may be walked again from each of the eight root
    // copies (a root copy that fails late leaves its subfolders finished),
    // and a few more times for folders shared in earnest.
    if (repeats_ >= 8 * finished_.size() + 1024) return false;
    ++repeats_;
  }
  EnterLevel({&firstBlock, 1});
  return true;
}

void WalkPath::Leave(bool complete) {
  if (complete) finished_.insert(path_.back());
  LeaveLevel();
}

void WalkPath::EnterLevel(std::span<const uint32_t> firstBlocks) {
  levels_.push_back(path_.size());
  path_.insert(path_.end(), firstBlocks.begin(), firstBlocks.end());
  onPath_.insert(firstBlocks.begin(), firstBlocks.end());
}

void WalkPath::LeaveLevel() {
  for (size_t i = levels_.back(); i < path_.size(); ++i) onPath_.erase(onPath_.find(path_[i]));
  path_.resize(levels_.back());
  levels_.pop_back();
}

WalkResult WalkDirectoryCopy(ImageSource& source, uint32_t firstBlock, uint32_t blockCount,
                             uint32_t blockSize, DirectoryVisitor& visitor) {
  // A block that cannot hold its own header is as good as unreadable.
  if (blockSize < opera::kHeaderSize || blockSize > kMaxBlockSize) {
    return {WalkEnd::kReadFailed, firstBlock};
  }
  std::vector<uint8_t> block(blockSize);
  const uint8_t* blockEnd = block.data() + blockSize;
  if (!Seek(source, firstBlock, blockSize, 0)) return {WalkEnd::kSeekFailed, firstBlock};
  std::unordered_set<uint32_t> visited = {0};
  uint32_t blocksDone = 0;
  uint32_t current = firstBlock;
  for (;;) {
    if (!ReadRecords(source, block.data(), blockSize, 1)) {
      return {WalkEnd::kReadFailed, source.CurrentBlock()};
    }
    visitor.OnBlock(block.data());
    const std::optional<std::vector<uint32_t>> offsets = EntryOffsets(block);
    if (!offsets) return {WalkEnd::kDamaged, current};
    uint32_t lastFlags = 0;
    for (uint32_t offset : *offsets) {
      const opera::EntryView entry(block.data() + offset, blockEnd);
      if (!visitor.OnEntry(entry)) return {WalkEnd::kStopped};
      lastFlags = entry.Flags();
    }
    ++blocksDone;
    const uint32_t next = opera::ReadBig32(block.data() + opera::header::kNextBlock);
    if ((lastFlags & opera::kLastInDirectoryBit) || next == opera::kNone || blocksDone >= blockCount) {
      return {WalkEnd::kComplete};
    }
    // A block met again means the chain runs in a circle.
    if (!visited.insert(next).second) return {WalkEnd::kCorrupt};
    current = RecordBlock(firstBlock, next, blockSize, source.BlockSize());
    if (!Seek(source, firstBlock, blockSize, next)) return {WalkEnd::kSeekFailed, current};
  }
}

}  // namespace zanthrel
