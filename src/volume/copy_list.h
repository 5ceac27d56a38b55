// A copy list read in place: the first blocks of an entry's copies, or of the
// root's in the label.
#pragma once

#include <cstdint>
#include <vector>

#include "opera/records.h"

namespace zanthrel {

// Big-endian block numbers, as many as are used (never more than lie inside
// the record that holds them).
struct CopyList {
  const uint8_t* bytes;
  uint32_t count;

  uint32_t operator[](uint32_t i) const { return opera::ReadBig32(bytes + 4 * size_t(i)); }
  std::vector<uint32_t> Blocks() const {
    std::vector<uint32_t> blocks(count);
    for (uint32_t i = 0; i < count; ++i) blocks[i] = (*this)[i];
    return blocks;
  }
};

}  // namespace zanthrel
