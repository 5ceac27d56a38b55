#include "source/chd/huffman_decoder.h"

#include <algorithm>

namespace zanthrel {

namespace {
constexpr int kMaxLength = 32;
}  // namespace

HuffmanDecoder::HuffmanDecoder(uint32_t symbols, int maxBits)
    : symbols_(symbols), maxBits_(maxBits), lengths_(symbols, 0) {}

bool HuffmanDecoder::ImportRunLengthTree(BitReader& bits) {
  const int fieldBits = maxBits_ >= 16 ? 5 : maxBits_ >= 8 ? 4 : 3;
  uint32_t symbol = 0;
  while (symbol < symbols_) {
    const uint32_t length = bits.Read(fieldBits);
    if (length != 1) {
      lengths_[symbol++] = uint8_t(length);
      continue;
    }
    // 1 escapes: a second 1 is a real length of 1, anything else a run.
    const uint32_t repeated = bits.Read(fieldBits);
    if (repeated == 1) {
      lengths_[symbol++] = 1;
      continue;
    }
    const uint32_t run = bits.Read(fieldBits) + 3;
    if (run > symbols_ - symbol) return false;
    std::fill_n(lengths_.begin() + symbol, run, uint8_t(repeated));
    symbol += run;
  }
  return BuildCode();
}

bool HuffmanDecoder::ImportHuffmanTree(BitReader& bits) {
  // The lengths are coded with a small code of 24 symbols: symbol v > 0 is
  // length v - 1, symbol 0 repeats the last length.
  HuffmanDecoder small(24, 6);
  small.lengths_[0] = uint8_t(bits.Read(3));
  const uint32_t start = bits.Read(3) + 1;
  uint32_t field = 0;
  for (uint32_t symbol = 1; symbol < 24; ++symbol) {
    if (symbol < start || field == 7) continue;
    field = bits.Read(3);
    small.lengths_[symbol] = field == 7 ? 0 : uint8_t(field);
  }
  if (!small.BuildCode()) return false;

  int runBits = 0;
  for (uint32_t rest = symbols_ - 9; rest != 0; rest >>= 1) ++runBits;
  uint8_t last = 0;
  uint32_t symbol = 0;
  while (symbol < symbols_) {
    const int value = small.Decode(bits);
    if (value < 0) return false;
    if (value != 0) {
      lengths_[symbol++] = last = uint8_t(value - 1);
      continue;
    }
    uint32_t run = bits.Read(3) + 2;
    if (run == 9) run += bits.Read(runBits);
    run = std::min(run, symbols_ - symbol);
    std::fill_n(lengths_.begin() + symbol, run, last);
    symbol += run;
  }
  return BuildCode() && !bits.Overflowed();
}

// Canonical codes, counted from the longest length down: the codes of one
// length follow in symbol order, and must fill whole prefixes of the length
// above them.
bool HuffmanDecoder::BuildCode() {
  uint32_t next[kMaxLength + 1] = {};
  for (uint8_t length : lengths_) {
    if (length > maxBits_) return false;
    ++next[length];
  }
  uint32_t start = 0;
  for (int length = kMaxLength; length > 0; --length) {
    const uint32_t end = start + next[length];
    if (length <= maxBits_ && end > (1u << length)) return false;
    if (length != 1 && end % 2 != 0) return false;
    next[length] = start;
    start = end / 2;
  }
  lookup_.assign(size_t(1) << maxBits_, 0);
  for (uint32_t symbol = 0; symbol < symbols_; ++symbol) {
    const int length = lengths_[symbol];
    if (length == 0) continue;
    const uint32_t code = next[length]++;
    const int shift = maxBits_ - length;
    std::fill(lookup_.begin() + (size_t(code) << shift), lookup_.begin() + (size_t(code + 1) << shift),
              symbol << 5 | uint32_t(length));
  }
  return true;
}

int HuffmanDecoder::Decode(BitReader& bits) {
  const uint32_t entry = lookup_[bits.Peek(maxBits_)];
  if (entry == 0) return -1;
  bits.Skip(int(entry & 31));
  return int(entry >> 5);
}

}  // namespace zanthrel
