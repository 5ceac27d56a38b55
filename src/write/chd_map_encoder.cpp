#include "write/chd_map_encoder.h"

#include <algorithm>

#include "source/big_endian.h"
#include "source/chd/crc16.h"
#include "write/huffman_encoder.h"

namespace zanthrel {

namespace {

// The longest runs that one shorthand covers: the type written once, then
// RunSmall and a count of 0-15, or RunLarge and two counts.
constexpr uint64_t kSmallRuns = 3, kLargeRuns = 19, kLongestRun = 19 + 255;

int BitsFor(uint64_t value) {
  int bits = 0;
  for (; value != 0; value >>= 1) ++bits;
  return bits;
}

// The type symbol of each hunk, a copy of the copy before it or of the hunk
// after that one taking a symbol of its own that needs no number.
std::vector<uint32_t> TypeSymbols(const std::vector<ChdHunk>& hunks) {
  std::vector<uint32_t> symbols;
  symbols.reserve(hunks.size());
  uint64_t lastSelf = 0;
  for (const ChdHunk& hunk : hunks) {
    if (hunk.kind == ChdHunk::kCodec) {
      symbols.push_back(hunk.codec);
    } else if (hunk.kind == ChdHunk::kStored) {
      symbols.push_back(kTypeNone);
    } else {
      symbols.push_back(hunk.offset == lastSelf       ? kTypeSelf0
                        : hunk.offset == lastSelf + 1 ? kTypeSelf1
                                                      : kTypeSelf);
      lastSelf = hunk.offset;
    }
  }
  return symbols;
}

// The symbols of the type pass: each run of one type as the type, then
// shorthands for as much of the rest as they cover.
std::vector<uint32_t> TypeStream(const std::vector<uint32_t>& types) {
  std::vector<uint32_t> stream;
  for (size_t at = 0; at < types.size();) {
    size_t run = 1;
    while (at + run < types.size() && types[at + run] == types[at]) ++run;
    stream.push_back(types[at]);
    uint64_t left = run - 1;
    while (left >= kSmallRuns) {
      if (left >= kLargeRuns) {
        const uint64_t take = std::min(left, kLongestRun) - kLargeRuns;
        stream.insert(stream.end(), {kTypeRunLarge, uint32_t(take / 16), uint32_t(take % 16)});
        left -= take + kLargeRuns;
      } else {
        stream.insert(stream.end(), {kTypeRunSmall, uint32_t(left - kSmallRuns)});
        left = 0;
      }
    }
    stream.insert(stream.end(), size_t(left), types[at]);
    at += run;
  }
  return stream;
}

}  // namespace

std::vector<uint8_t> EncodeCompressedMap(const std::vector<ChdHunk>& hunks, uint32_t hunkBytes,
                                         uint64_t firstOffset) {
  const std::vector<uint32_t> types = TypeSymbols(hunks);
  const std::vector<uint32_t> symbols = TypeStream(types);
  uint64_t longest = 0, farthestCopy = 0;
  for (size_t i = 0; i < hunks.size(); ++i) {
    if (hunks[i].kind == ChdHunk::kCodec) longest = std::max<uint64_t>(longest, hunks[i].length);
    if (types[i] == kTypeSelf) farthestCopy = std::max(farthestCopy, hunks[i].offset);
  }
  const int lengthBits = BitsFor(longest), selfBits = BitsFor(farthestCopy);

  HuffmanEncoder code(16, 8);
  for (uint32_t symbol : symbols) code.Count(symbol);
  code.BuildCode();
  BitWriter bits;
  code.WriteRunLengthTree(bits);
  for (uint32_t symbol : symbols) code.Encode(bits, symbol);

  uint16_t crc = kCrc16Start;
  for (size_t i = 0; i < hunks.size(); ++i) {
    const ChdHunk& hunk = hunks[i];
    switch (types[i]) {
      case kTypeSelf:
        bits.Write(uint32_t(hunk.offset), selfBits);
        break;
      case kTypeNone:
        bits.Write(hunk.crc, 16);
        break;
      case kTypeSelf0:
      case kTypeSelf1:
        break;
      default:
        bits.Write(hunk.length, lengthBits);
        bits.Write(hunk.crc, 16);
        break;
    }
    const uint32_t type = hunk.kind == ChdHunk::kSelf ? kTypeSelf : types[i];
    ChdHunk covered = hunk;
    if (type == kTypeNone) covered.length = hunkBytes;
    if (type == kTypeSelf) covered.length = covered.crc = 0;
    crc = AddChdMapEntryToCrc(crc, type, covered);
  }

  const std::vector<uint8_t>& stream = bits.Bytes();
  std::vector<uint8_t> map(kChdMapHeaderSize + stream.size(), 0);
  WriteBigEndian(&map[0], stream.size(), 4);
  WriteBigEndian(&map[4], firstOffset, 6);
  WriteBigEndian(&map[10], crc, 2);
  map[12] = uint8_t(lengthBits);
  map[13] = uint8_t(selfBits);
  std::copy(stream.begin(), stream.end(), map.begin() + kChdMapHeaderSize);
  return map;
}

}  // namespace zanthrel
