// A CHD's map: for every hunk, where and how it is stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "source/chd/chd_header.h"
#include "support/result.h"

namespace zanthrel {

struct ChdHunk {
  enum Kind : uint8_t {
    kCodec,      // compressed by compressors[codec]: `length` bytes at `offset`
    kStored,     // `hunkBytes` bytes at `offset` as they are
    kUnchecked,  // the same, in an uncompressed CHD, which keeps no CRC
    kZeros,      // not stored: zeros
    kSelf,       // a copy of hunk number `offset`, which is no copy itself
    kParent,     // in the parent CHD
    kBroken,     // a copy of a hunk that does not come before it
  };
  uint64_t offset = 0;
  uint32_t length = 0;
  uint16_t crc = 0;  // CRC-16 of the hunk's bytes, for kCodec and kStored
  uint8_t kind = kZeros;
  uint8_t codec = 0;
};

// Hunk types of a compressed map's stream: 0 to 3 name the header's
// compressors; 7 to 13 are shorthands that expand to runs and copies.
enum ChdMapType : uint32_t {
  kTypeCodec3 = 3,
  kTypeNone = 4,
  kTypeSelf = 5,
  kTypeParent = 6,
  kTypeRunSmall = 7,
  kTypeRunLarge = 8,
  kTypeSelf0 = 9,
  kTypeSelf1 = 10,
  kTypeParentSelf = 11,
  kTypeParent0 = 12,
  kTypeParent1 = 13,
};
// A hunk's entry, with its type expanded (0 to 6), as the map's CRC covers it
// after `crc`: type, length (24 bits), offset (48), crc, big-endian.
uint16_t AddChdMapEntryToCrc(uint16_t crc, uint32_t type, const ChdHunk& hunk);

// The map of a compressed CHD: `map` holds its 16-byte header and the
// Huffman-coded stream after it. Fails when the stream is damaged or its
// CRC does not match.
Result<std::vector<ChdHunk>> DecodeCompressedMap(const ChdHeader& header, const uint8_t* map, size_t length);

// The map of an uncompressed CHD: one 32-bit hunk number per hunk, 0 for
// a hunk that is not stored.
std::vector<ChdHunk> DecodeRawMap(const ChdHeader& header, const uint8_t* entries);

// Bytes of a compressed map after its 16-byte header, read from `header16`;
// and the most a map of this many hunks can take, a bound for damaged lengths.
inline constexpr size_t kChdMapHeaderSize = 16;
uint64_t CompressedMapLength(const uint8_t* header16);
uint64_t MaxCompressedMapLength(const ChdHeader& header);

}  // namespace zanthrel
