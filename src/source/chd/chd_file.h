// A CHD file (version 5, CD) opened for its records: the header, the codecs
// it names, its hunk map and its metadata chain; hunks decoded one at a time.
// What reads a track and what checks the whole file share it.
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

class ChdFile {
 public:
  // A failure says what in the file keeps it from being read.
  static Result<std::unique_ptr<ChdFile>> Open(HostFile file, uint64_t fileSize);

  const ChdHeader& Header() const { return header_; }
  const HostFile& File() const { return file_; }
  const std::vector<ChdHunk>& Map() const { return map_; }
  // "cdlz, cdzl, cdfl"; empty for an uncompressed CHD.
  const std::string& CodecNames() const { return codecNames_; }
  // Decodes hunk `number` (a copy as the hunk it copies) into `destination`,
  // hunkBytes long; what is there after kWrongCrc is the bytes as decoded.
  HunkCondition Decode(uint64_t number, uint8_t* destination);

 private:
  ChdFile(HostFile file, const ChdHeader& header, std::vector<ChdHunk> map,
          std::vector<std::unique_ptr<BlockDecoder>> codecs, std::string codecNames);
  bool ReadExactly(uint64_t offset, uint8_t* buffer, size_t count);

  HostFile file_;
  ChdHeader header_;
  std::vector<ChdHunk> map_;
  std::vector<std::unique_ptr<BlockDecoder>> codecs_;  // by the header's slot
  std::string codecNames_;
  std::vector<uint8_t> compressed_;
};

// Every entry of the chain from `offset` on; a failure says where it breaks.
Result<std::vector<ChdMetadataEntry>> ReadChdMetadata(const HostFile& file, uint64_t offset);

}  // namespace zanthrel
