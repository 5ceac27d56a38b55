// One hunk of CD frames compressed for a CHD: with each CD codec of the
// header in turn (cdlz, cdzl, cdfl), keeping the smallest, or stored as it
// is when no codec makes it smaller.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "write/chd_encoders.h"

namespace zanthrel {

// The header's compressors, in the order chdman names them for a CD.
inline constexpr uint32_t kCdCodecCount = 3;
extern const uint32_t kCdCodecTags[kCdCodecCount];

struct EncodedHunk {
  bool stored = false;  // the hunk's bytes as they are
  uint8_t codec = 0;    // else the index of its codec in kCdCodecTags
  std::vector<uint8_t> bytes;
};

class CdHunkEncoder {
 public:
  explicit CdHunkEncoder(uint32_t framesPerHunk);

  // `hunk` holds framesPerHunk frames of 2448 bytes. FLAC is tried only
  // when `audio`: it cannot shrink data sectors below the other codecs.
  void Encode(const uint8_t* hunk, bool audio, EncodedHunk& result);

 private:
  // The sectors and subcode apart, with the bitmap of frames whose sync and
  // parity are left out.
  void Split(const uint8_t* hunk);
  // cdlz and cdzl: the bitmap, the sector stream's length, the sector
  // stream, then the subcode; false when it would not be smaller.
  bool EncodeFramed(BlockEncoder& sectors, std::vector<uint8_t>& out);
  bool EncodeFlac(std::vector<uint8_t>& out);

  uint32_t frames_;
  uint32_t hunkBytes_;
  std::unique_ptr<BlockEncoder> lzma_, deflate_, flac_;
  std::vector<uint8_t> flags_, base_, plainBase_, subcode_, packedSubcode_;
  std::vector<uint8_t> candidate_;
};

}  // namespace zanthrel
