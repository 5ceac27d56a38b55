#include "source/chd/chd_map.h"

#include "source/big_endian.h"
#include "source/chd/bit_reader.h"
#include "source/chd/crc16.h"
#include "source/chd/huffman_decoder.h"

namespace zanthrel {

namespace {

Error MapError(const char* what) { return Error{std::string("CHD: the hunk map ") + what}; }

// Points every copy at the hunk that holds the data, so that a chain of
// copies costs one step to read. A copy must name an earlier hunk, which
// keeps chains from going round.
void ResolveCopies(std::vector<ChdHunk>& hunks) {
  for (size_t number = 0; number < hunks.size(); ++number) {
    ChdHunk& hunk = hunks[number];
    if (hunk.kind != ChdHunk::kSelf) continue;
    if (hunk.offset >= number) {
      hunk.kind = ChdHunk::kBroken;
    } else if (hunks[hunk.offset].kind == ChdHunk::kSelf) {
      hunk.offset = hunks[hunk.offset].offset;
    } else if (hunks[hunk.offset].kind == ChdHunk::kBroken) {
      hunk.kind = ChdHunk::kBroken;
    }
  }
}

}  // namespace

uint16_t AddChdMapEntryToCrc(uint16_t crc, uint32_t type, const ChdHunk& hunk) {
  const uint64_t fields[] = {type, hunk.length, hunk.offset, hunk.crc};
  const size_t widths[] = {1, 3, 6, 2};
  uint8_t bytes[12];
  size_t at = 0;
  for (size_t f = 0; f < 4; ++f) {
    for (size_t i = widths[f]; i-- > 0;) bytes[at++] = uint8_t(fields[f] >> (8 * i));
  }
  return Crc16(bytes, sizeof bytes, crc);
}

uint64_t CompressedMapLength(const uint8_t* header16) { return ReadBigEndian(header16, 4); }

uint64_t MaxCompressedMapLength(const ChdHeader& header) {
  // The tree takes under 16 bytes; a hunk at most 8 bits of type and 32 of
  // each field.
  return 64 + header.HunkCount() * 16;
}

Result<std::vector<ChdHunk>> DecodeCompressedMap(const ChdHeader& header, const uint8_t* map, size_t length) {
  if (length < kChdMapHeaderSize) return MapError("is cut short");
  uint64_t next = ReadBigEndian(map + 4, 6);
  const uint16_t expectedCrc = uint16_t(ReadBigEndian(map + 10, 2));
  const int lengthBits = map[12], selfBits = map[13], parentBits = map[14];
  if (lengthBits > 32 || selfBits > 32 || parentBits > 32) return MapError("has bad field widths");
  BitReader bits(map + kChdMapHeaderSize, length - kChdMapHeaderSize);
  HuffmanDecoder code(16, 8);
  if (!code.ImportRunLengthTree(bits)) return MapError("has a bad code tree");

  const uint64_t count = header.HunkCount();
  std::vector<uint8_t> types(count);
  uint32_t last = 0;
  uint64_t repeat = 0;
  for (uint64_t hunk = 0; hunk < count; ++hunk) {
    if (repeat > 0) {
      types[hunk] = uint8_t(last);
      --repeat;
      continue;
    }
    const int symbol = code.Decode(bits);
    if (symbol == kTypeRunSmall || symbol == kTypeRunLarge) {
      const int high = code.Decode(bits);
      const int low = symbol == kTypeRunLarge ? code.Decode(bits) : 0;
      if (high < 0 || low < 0) return MapError("is damaged");
      repeat = symbol == kTypeRunSmall ? 2 + uint64_t(high) : 2 + 16 + 16 * uint64_t(high) + uint64_t(low);
    } else if (symbol >= 0) {
      last = uint32_t(symbol);
    } else {
      return MapError("is damaged");
    }
    types[hunk] = uint8_t(last);
  }

  std::vector<ChdHunk> hunks(count);
  uint64_t lastSelf = 0, lastParent = 0;
  uint16_t crc = kCrc16Start;
  const uint64_t unitsPerHunk = header.hunkBytes / header.unitBytes;
  for (uint64_t number = 0; number < count; ++number) {
    ChdHunk& hunk = hunks[number];
    uint32_t type = types[number];
    switch (type) {
      case kTypeSelf1:
        ++lastSelf;
        [[fallthrough]];
      case kTypeSelf0:
        type = kTypeSelf;
        hunk.offset = lastSelf;
        break;
      case kTypeSelf:
        hunk.offset = lastSelf = bits.Read(selfBits);
        break;
      case kTypeParentSelf:
        type = kTypeParent;
        hunk.offset = lastParent = number * unitsPerHunk;
        break;
      case kTypeParent1:
        lastParent += unitsPerHunk;
        [[fallthrough]];
      case kTypeParent0:
        type = kTypeParent;
        hunk.offset = lastParent;
        break;
      case kTypeParent:
        hunk.offset = lastParent = bits.Read(parentBits);
        break;
      case kTypeNone:
        hunk.length = header.hunkBytes;
        hunk.crc = uint16_t(bits.Read(16));
        break;
      default:
        if (type > kTypeCodec3) return MapError("holds an unknown hunk type");
        hunk.length = bits.Read(lengthBits);
        hunk.crc = uint16_t(bits.Read(16));
        break;
    }
    if (type <= kTypeNone) {
      hunk.offset = next;
      next += hunk.length;
    }
    hunk.kind = type == kTypeNone     ? ChdHunk::kStored
                : type == kTypeSelf   ? ChdHunk::kSelf
                : type == kTypeParent ? ChdHunk::kParent
                                      : ChdHunk::kCodec;
    hunk.codec = type <= kTypeCodec3 ? uint8_t(type) : 0;
    crc = AddChdMapEntryToCrc(crc, type, hunk);
  }
  if (crc != expectedCrc) return MapError("fails its CRC");
  ResolveCopies(hunks);
  return hunks;
}

std::vector<ChdHunk> DecodeRawMap(const ChdHeader& header, const uint8_t* entries) {
  std::vector<ChdHunk> hunks(header.HunkCount());
  for (size_t i = 0; i < hunks.size(); ++i) {
    const uint64_t stored = ReadBigEndian(entries + 4 * i, 4);
    hunks[i].kind = stored == 0 ? ChdHunk::kZeros : ChdHunk::kUnchecked;
    hunks[i].offset = stored * header.hunkBytes;
  }
  return hunks;
}

}  // namespace zanthrel
