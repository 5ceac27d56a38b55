// The canonical Huffman codes of CHD files: a compressed map's code (16
// symbols, up to 8 bits, its lengths sent with runs) and the "huff" codec's
// code (256 symbols, up to 16 bits, its lengths sent Huffman-coded in turn).
#pragma once

#include <cstdint>
#include <vector>

#include "source/chd/bit_reader.h"

namespace zanthrel {

class HuffmanDecoder {
 public:
  HuffmanDecoder(uint32_t symbols, int maxBits);

  // Read the code lengths from `bits`, then build the code; false when they
  // make no valid code.
  bool ImportRunLengthTree(BitReader& bits);
  bool ImportHuffmanTree(BitReader& bits);

  // The next symbol, or -1 where the bits spell no code.
  int Decode(BitReader& bits);

 private:
  bool BuildCode();

  uint32_t symbols_;
  int maxBits_;
  std::vector<uint8_t> lengths_;
  // For every maxBits-bit value: symbol << 5 | code length, 0 for no code.
  std::vector<uint32_t> lookup_;
};

}  // namespace zanthrel
