// The compressors under a CHD's CD codecs, one per library: the reverse of
// the decoders in source/chd/chd_decoders.h. Each object keeps its library
// state from one hunk to the next, for one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace zanthrel {

class BlockEncoder {
 public:
  virtual ~BlockEncoder() = default;
  // Compresses the `inLength` bytes of `in` into `out`: the bytes written,
  // or nothing when they would not fit in `outCapacity`.
  virtual std::optional<size_t> Encode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outCapacity) = 0;
};

// Raw deflate at level 9, as chdman makes it.
std::unique_ptr<BlockEncoder> MakeDeflateEncoder();
// Raw LZMA1 with lc 3, lp 0, pb 2 and no end marker, its dictionary the one
// chdman's decoder sets up for a hunk's sectors.
std::unique_ptr<BlockEncoder> MakeLzmaEncoder();
// FLAC frames of 16-bit stereo samples at 44100 Hz, each sample read most
// significant byte first, in blocks of `blockSize` samples, without the
// stream's marker and metadata.
std::unique_ptr<BlockEncoder> MakeFlacEncoder(uint32_t blockSize);

}  // namespace zanthrel
