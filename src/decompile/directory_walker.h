// Follows the blocks of one copy of a directory and hands over its entries,
// with the walk's stop rules and with every bound checked: no entry is read
// from outside its block and no chain of blocks is followed forever.
#pragma once

#include <cstdint>
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
  kCorrupt,     // an entry reaches outside its block, or the blocks run in a circle
  kStopped,     // the visitor gave up on an entry
};

class DirectoryVisitor {
 public:
  virtual ~DirectoryVisitor() = default;
  virtual void OnBlock(const uint8_t* block) = 0;
  // Called with the entry's fixed part inside the block; `whole` tells whether
  // its copy list lies inside the block as well. Return false to stop the walk.
  virtual bool OnEntry(const opera::EntryView& entry, bool whole) = 0;
};

// The first blocks of the directory copies being walked on the current path.
// A copy met again below itself (a directory that contains itself) must fail
// like an unreadable one, so that every walk ends.
class WalkPath {
 public:
  // False when the copy is on the path already; otherwise it is on it until Leave.
  bool Enter(uint32_t firstBlock);
  void Leave() { blocks_.pop_back(); }

 private:
  std::vector<uint32_t> blocks_;
};

struct WalkResult {
  WalkEnd end;
  uint32_t failedBlock = 0;
};

WalkResult WalkDirectoryCopy(ImageSource& source, uint32_t firstBlock, uint32_t blockCount,
                             uint32_t blockSize, DirectoryVisitor& visitor);

}  // namespace zanthrel
