// Follows the blocks of one copy of a directory and hands over its entries,
// with the walk's stop rules and with every bound checked: no entry is read
// from outside its block and no chain of blocks is followed forever. WalkPath
// is the one guard that keeps every walk of a tree finite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_set>
#include <vector>

#include "opera/records.h"
#include "source/image_source.h"

namespace zanthrel {

// Directory and file blocks larger than this are refused as corrupt, so that
// a record cannot make the reader allocate without bound; so are directory
// blocks too small for their 20-byte header.
inline constexpr uint32_t kMaxBlockSize = 1 << 20;

enum class WalkEnd {
  kComplete,
  kSeekFailed,  // `failedBlock` could not be reached
  kReadFailed,  // `failedBlock` could not be read
  kDamaged,     // `failedBlock` is a directory block with an impossible header
  kCorrupt,     // the blocks run in a circle
  kStopped,     // the visitor gave up on an entry
};

// OnBlock hears of every block read, damaged or not, before its entries.
class DirectoryVisitor {
 public:
  virtual ~DirectoryVisitor() = default;
  virtual void OnBlock(const uint8_t* block) = 0;
  // Called with each entry of a block that can be read, copy list and all
  // inside the block. Return false to stop the walk.
  virtual bool OnEntry(const opera::EntryView& entry) = 0;
};

// How deep a walk goes. Far below what a stack holds, far above any disc:
// a host path gives out long before on any real folder tree.
inline constexpr size_t kMaxWalkDepth = 4096;

// The first blocks of the directory copies on the current path of a walk,
// level by level, and of those walked to their end before. A copy met again
// below itself (a directory that contains itself) must fail like an
// unreadable one, so that every walk ends; so must one past the depth limit.
// A directory that several entries share is walked again for each, but only
// so often: a chain of folders each naming the next one twice would otherwise
// double the walk at every level, and a small image could keep a run busy for
// ever.
class WalkPath {
 public:
  // False when the copy may not be walked now; otherwise it is on the path,
  // a level of its own, until Leave.
  bool Enter(uint32_t firstBlock);
  // `complete`: the copy was walked to its end.
  void Leave(bool complete);

  // For a walk that reads every copy of a directory before it goes below
  // (verify), and for one that goes down a path it has listed before (mount):
  // whether a copy stands on the path, whether the path is as deep as a walk
  // goes, and a level of several copies put on the path and taken off again.
  bool OnPath(uint32_t firstBlock) const { return onPath_.contains(firstBlock); }
  bool Full() const { return levels_.size() >= kMaxWalkDepth; }
  void EnterLevel(std::span<const uint32_t> firstBlocks);
  void LeaveLevel();

 private:
  std::vector<uint32_t> path_;
  std::vector<size_t> levels_;  // where each level starts in path_
  std::unordered_multiset<uint32_t> onPath_;
  std::unordered_set<uint32_t> finished_;
  uint64_t repeats_ = 0;
};

struct WalkResult {
  WalkEnd end;
  uint32_t failedBlock = 0;
};

WalkResult WalkDirectoryCopy(ImageSource& source, uint32_t firstBlock, uint32_t blockCount,
                             uint32_t blockSize, DirectoryVisitor& visitor);

}  // namespace zanthrel
