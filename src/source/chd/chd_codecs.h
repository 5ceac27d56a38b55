// The codecs that a CHD names in its header: each turns one stored hunk back
// into the hunk's bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "source/chd/chd_decoders.h"

namespace zanthrel {

// A codec's four-character tag as the header stores it.
constexpr uint32_t ChdTag(const char (&name)[5]) {
  return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 |
         uint32_t(uint8_t(name[2])) << 8 | uint32_t(uint8_t(name[3]));
}
std::string ChdTagText(uint32_t tag);

// The codec of `tag` for hunks of `hunkBytes` bytes (whole CD frames of
// 2448 bytes for the CD codecs); null for a tag this reader does not know.
std::unique_ptr<BlockDecoder> MakeChdCodec(uint32_t tag, uint32_t hunkBytes);

}  // namespace zanthrel
