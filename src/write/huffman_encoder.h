// The canonical Huffman code of a CHD's compressed map, built from how often
// each symbol is written: the code lengths go first, sent with runs as
// HuffmanDecoder::ImportRunLengthTree reads them, then one code per symbol.
#pragma once

#include <cstdint>
#include <vector>

#include "write/bit_writer.h"

namespace zanthrel {

class HuffmanEncoder {
 public:
  HuffmanEncoder(uint32_t symbols, int maxBits);

  void Count(uint32_t symbol) { ++counts_[symbol]; }
  // Builds the code from the counts, no code longer than maxBits.
  void BuildCode();
  void WriteRunLengthTree(BitWriter& bits) const;
  void Encode(BitWriter& bits, uint32_t symbol) const { bits.Write(codes_[symbol], lengths_[symbol]); }

 private:
  void BuildLengths(const std::vector<uint64_t>& weights);

  int maxBits_;
  std::vector<uint64_t> counts_;
  std::vector<uint8_t> lengths_;
  std::vector<uint32_t> codes_;
};

}  // namespace zanthrel
