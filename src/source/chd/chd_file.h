// A CHD file (version 5, CD) opened for its records: the header, the codecs
// it names, its hunk map and its metadata chain; hunks decoded on any number
// of threads at once, each with codecs of its own. What reads a track and
// what checks the whole file share it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "source/chd/chd_decoders.h"
#include "source/chd/chd_header.h"
#include "source/chd/chd_map.h"
#include "support/host.h"
#include "support/result.h"

namespace zanthrel {

// What decoding a hunk gave.
enum class HunkCondition {
  kIntact,      // decoded, and its CRC holds (or it keeps none)
  kWrongCrc,    // decoded, but its bytes fail the map's CRC
  kUnreadable,  // cut short, not decodable, or a copy of nothing
};

// One entry of the metadata chain, its data left in the file.
struct ChdMetadataEntry {
  uint32_t tag = 0;
  uint8_t flags = 0;
  uint64_t dataOffset = 0;
  uint32_t dataLength = 0;
};
// The flag of an entry that the overall SHA-1 covers.
inline constexpr uint8_t kChdMetadataChecksum = 0x01;

// The codecs of one CHD, by the header's slot (null for an empty slot), with
// the room that a stored hunk is read into: what one thread needs to decode.
struct ChdCodecs {
  std::vector<std::unique_ptr<BlockDecoder>> bySlot;
  std::vector<uint8_t> compressed;
};

class ChdFile {
 public:
  // A failure says what in the file keeps it from being read.
  static Result<std::unique_ptr<ChdFile>> Open(HostFile file, uint64_t fileSize);

  const ChdHeader& Header() const { return header_; }
  const HostFile& File() const { return file_; }
  const std::vector<ChdHunk>& Map() const { return map_; }
  // "cdlz, cdzl, cdfl"; empty for an uncompressed CHD.
  const std::string& CodecNames() const { return codecNames_; }
  // A fresh set of the header's codecs, for one thread.
  ChdCodecs MakeCodecs() const;
  // The hunk whose bytes hunk `number` holds: the one a copy names, else itself.
  uint64_t SourceOf(uint64_t number) const;
  // Decodes hunk `number` (a copy as the hunk it copies) into `destination`,
  // hunkBytes long, with `codecs` from MakeCodecs; what is there after
  // kWrongCrc is the bytes as decoded.
  HunkCondition Decode(ChdCodecs& codecs, uint64_t number, uint8_t* destination) const;

 private:
  ChdFile(HostFile file, const ChdHeader& header, std::vector<ChdHunk> map, std::string codecNames);
  bool ReadExactly(uint64_t offset, uint8_t* buffer, size_t count) const;

  HostFile file_;
  ChdHeader header_;
  std::vector<ChdHunk> map_;
  std::string codecNames_;
};

// Every entry of the chain from `offset` on; a failure says where it breaks.
Result<std::vector<ChdMetadataEntry>> ReadChdMetadata(const HostFile& file, uint64_t offset);

}  // namespace zanthrel
