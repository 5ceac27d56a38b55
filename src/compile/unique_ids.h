// The unique ids of an image: a 32-bit shift-register generator, and the set
// of ids handed out since the last reset. Its state runs on from image to
// image for as long as its owner keeps it; each front end keeps one for the
// life of the process, so the first image of a process always gets the same ids.
#pragma once

#include <cstdint>
#include <unordered_set>

namespace zanthrel {

class UniqueIdGenerator {
 public:
  // An id that differs from every id handed out since the last ResetUniqueIds.
  uint32_t NewUniqueId();
  // Empties the set of ids handed out; the generator's state runs on.
  void ResetUniqueIds() { handedOut_.clear(); }

 private:
  uint32_t state_ = 0x5005FF55;
  std::unordered_set<uint32_t> handedOut_;
};

}  // namespace zanthrel
