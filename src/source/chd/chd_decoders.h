// The decompressors under a CHD's codecs, one per library, each turning one
// compressed stream into exactly the number of bytes asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace zanthrel {

class BlockDecoder {
 public:
  virtual ~BlockDecoder() = default;
  // Fills all `outLength` bytes of `out` from the `inLength` bytes of `in`;
  // false when the stream is damaged or gives another length.
  virtual bool Decode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outLength) = 0;
};

// Raw deflate (zlib without its wrapper).
std::unique_ptr<BlockDecoder> MakeDeflateDecoder();
// Raw LZMA1 with lc 3, lp 0, pb 2 and no end marker.
std::unique_ptr<BlockDecoder> MakeLzmaDecoder();
// One zstd frame.
std::unique_ptr<BlockDecoder> MakeZstdDecoder();
// The CHD Huffman code: its tree, then one code per byte.
std::unique_ptr<BlockDecoder> MakeHuffmanBlockDecoder();

// FLAC frames without the stream's marker and metadata, of 16-bit stereo
// samples at 44100 Hz in blocks of `blockSize` samples.
class FlacDecoder {
 public:
  virtual ~FlacDecoder() = default;
  // Fills `out` with samples, each written most significant byte first when
  // `bigEndian`; the count of input bytes the frames took, or nothing when
  // the frames are damaged or too few.
  virtual std::optional<size_t> Decode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outLength,
                                       bool bigEndian, uint32_t blockSize) = 0;
};
std::unique_ptr<FlacDecoder> MakeFlacDecoder();

}  // namespace zanthrel
