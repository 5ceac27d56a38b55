// The header of a CHD (version 5) and the CD track entries of its metadata.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/result.h"

namespace zanthrel {

inline constexpr size_t kChdHeaderSize = 124;
// A CD frame as a CHD keeps it: 2352 bytes of sector, 96 of subcode.
inline constexpr uint32_t kChdFrameBytes = 2448;
// Far more frames than the longest CD holds (about 100 minutes, 450,000
// frames) and than the CHD of any image compile makes (9 GB), and a hunk far
// larger than any CD CHD uses: limits that keep a damaged header from asking
// for more memory than such a disc can need (a map of 500,000 hunks).
inline constexpr uint64_t kChdMaxFrames = 4000000;
inline constexpr uint32_t kChdMaxHunkBytes = 1 << 20;

struct ChdHeader {
  uint32_t compressors[4] = {};
  uint64_t logicalBytes = 0;
  uint64_t mapOffset = 0;
  uint64_t metaOffset = 0;
  uint32_t hunkBytes = 0;
  uint32_t unitBytes = 0;
  // SHA-1 of the data (the hunks' bytes up to logicalBytes), and of that
  // digest with the metadata entries that carry a checksum.
  std::array<uint8_t, 20> rawSha1{};
  std::array<uint8_t, 20> sha1{};

  uint64_t HunkCount() const { return (logicalBytes + hunkBytes - 1) / hunkBytes; }
  uint32_t FramesPerHunk() const { return hunkBytes / kChdFrameBytes; }
  bool Compressed() const { return compressors[0] != 0; }
};

// A track takes a whole number of these frames in the CHD, padded with zeros.
inline constexpr uint64_t kChdTrackPadding = 4;
// A metadata entry: tag, flags, data length (24 bits), the next entry's
// offset (0 for none), then the data.
inline constexpr size_t kChdMetadataHeaderSize = 16;
// The flag of an entry that the overall SHA-1 covers.
inline constexpr uint8_t kChdMetadataChecksummed = 0x01;

bool HasChdMagic(const uint8_t* head, size_t length);

// The header of a CD CHD that needs no parent; a failure says why the file
// cannot be read.
Result<ChdHeader> ParseChdHeader(const uint8_t* bytes, size_t length);

// The header of `header` with no parent: the reverse of ParseChdHeader.
using ChdDigest = std::array<uint8_t, 20>;
std::array<uint8_t, kChdHeaderSize> EncodeChdHeader(const ChdHeader& header, const ChdDigest& rawSha1,
                                                    const ChdDigest& sha1);

// One CHT2, CHTR or CHGD entry: "TRACK:1 TYPE:MODE1_RAW SUBTYPE:NONE FRAMES:300 ...".
struct ChdTrackEntry {
  uint32_t number = 0;
  std::string type;
  uint64_t frames = 0;
  uint64_t pregap = 0;
  std::string pregapType;  // a leading "V": the pregap is stored in the frames
  uint64_t postgap = 0;
};
Result<ChdTrackEntry> ParseChdTrackEntry(std::string_view text);

}  // namespace zanthrel
