// The unique ids of an image: a 32-bit shift-register generator whose state
// runs on from image to image for as long as its owner keeps it; each front
// end keeps one for the life of the process, so the first image of a process
// always gets the same ids.
//
// The register runs through all 2^32 - 1 values but zero before it comes back
// to a value, so no id repeats until that many have been drawn, which no
// image can use: the ids of an image differ without a set to look them up in.
#pragma once

#include <cstdint>

namespace zanthrel {

class UniqueIdGenerator {
 public:
  // An id that differs from every other id of the image.
  uint32_t NewUniqueId();

 private:
  // Fixed: the first image of a process gets the same ids in every version.
  uint32_t state_ = 0x5005FF55;
};

}  // namespace zanthrel
