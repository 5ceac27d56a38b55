// The CHD "huff" codec: a Huffman tree for byte values, then one code per byte.
#include "source/chd/chd_decoders.h"
#include "source/chd/huffman_decoder.h"

namespace zanthrel {

namespace {

class HuffmanBlockDecoder : public BlockDecoder {
 public:
  bool Decode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outLength) override {
    BitReader bits(in, inLength);
    HuffmanDecoder code(256, 16);
    if (!code.ImportHuffmanTree(bits)) return false;
    for (size_t i = 0; i < outLength; ++i) {
      const int symbol = code.Decode(bits);
      if (symbol < 0) return false;
      out[i] = uint8_t(symbol);
    }
    return !bits.Overflowed();
  }
};

}  // namespace

std::unique_ptr<BlockDecoder> MakeHuffmanBlockDecoder() { return std::make_unique<HuffmanBlockDecoder>(); }

}  // namespace zanthrel
