#include "source/chd/chd_header.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "source/big_endian.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr uint32_t kVersion = 5;

Error HeaderError(const std::string& what) { return Error{"CHD: " + what}; }

// No field of a track entry needs more digits than a CD has frames.
constexpr size_t kMaxFieldDigits = 9;

}  // namespace

bool HasChdMagic(const uint8_t* head, size_t length) {
  return length >= 8 && std::memcmp(head, "MComprHD", 8) == 0;
}

Result<ChdHeader> ParseChdHeader(const uint8_t* bytes, size_t length) {
  if (length < 16 || !HasChdMagic(bytes, length)) return HeaderError("no header");
  const uint32_t version = uint32_t(ReadBigEndian(bytes + 12, 4));
  if (version != kVersion) {
    return HeaderError("version " + UnsignedDecimal(version) + "; only version 5 is read");
  }
  if (length < kChdHeaderSize || ReadBigEndian(bytes + 8, 4) != kChdHeaderSize) {
    return HeaderError("the header is cut short");
  }
  ChdHeader header;
  for (int i = 0; i < 4; ++i) header.compressors[i] = uint32_t(ReadBigEndian(bytes + 16 + 4 * i, 4));
  header.logicalBytes = ReadBigEndian(bytes + 32, 8);
  header.mapOffset = ReadBigEndian(bytes + 40, 8);
  header.metaOffset = ReadBigEndian(bytes + 48, 8);
  header.hunkBytes = uint32_t(ReadBigEndian(bytes + 56, 4));
  header.unitBytes = uint32_t(ReadBigEndian(bytes + 60, 4));
  std::memcpy(header.rawSha1.data(), bytes + 64, 20);
  std::memcpy(header.sha1.data(), bytes + 84, 20);
  const uint8_t* parent = bytes + 104;
  for (size_t i = 0; i < 20; ++i) {
    if (parent[i] != 0) {
      return HeaderError("needs its parent CHD; merge it first (chdman copy) to read it alone");
    }
  }
  if (header.unitBytes != kChdFrameBytes) {
    return HeaderError("not a CD image (units of " + UnsignedDecimal(header.unitBytes) + " bytes)");
  }
  if (header.hunkBytes == 0 || header.hunkBytes % kChdFrameBytes != 0 ||
      header.hunkBytes > kChdMaxHunkBytes) {
    return HeaderError("hunks of " + UnsignedDecimal(header.hunkBytes) +
                       " bytes, not a whole number of CD frames this reader takes");
  }
  if (header.logicalBytes == 0 || header.logicalBytes / kChdFrameBytes > kChdMaxFrames) {
    return HeaderError("a data size of " + UnsignedDecimal64(header.logicalBytes) +
                       " bytes, which no CD has");
  }
  return header;
}

std::array<uint8_t, kChdHeaderSize> EncodeChdHeader(const ChdHeader& header, const ChdDigest& rawSha1,
                                                    const ChdDigest& sha1) {
  std::array<uint8_t, kChdHeaderSize> bytes{};
  const auto put = [&bytes](size_t at, uint64_t value, size_t width) { WriteBigEndian(&bytes[at], value, width); };
  std::memcpy(bytes.data(), "MComprHD", 8);
  put(8, kChdHeaderSize, 4);
  put(12, kVersion, 4);
  for (size_t i = 0; i < 4; ++i) put(16 + 4 * i, header.compressors[i], 4);
  put(32, header.logicalBytes, 8);
  put(40, header.mapOffset, 8);
  put(48, header.metaOffset, 8);
  put(56, header.hunkBytes, 4);
  put(60, header.unitBytes, 4);
  std::copy(rawSha1.begin(), rawSha1.end(), bytes.begin() + 64);
  std::copy(sha1.begin(), sha1.end(), bytes.begin() + 84);
  return bytes;
}

Result<ChdTrackEntry> ParseChdTrackEntry(std::string_view text) {
  ChdTrackEntry entry;
  bool haveNumber = false, haveFrames = false;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find(' ', at), text.size());
    const std::string_view field = text.substr(at, end - at);
    at = end + 1;
    const size_t colon = field.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = field.substr(0, colon), value = field.substr(colon + 1);
    if (key == "TYPE") entry.type = std::string(value);
    if (key == "PGTYPE") entry.pregapType = std::string(value);
    if (key != "TRACK" && key != "FRAMES" && key != "PREGAP" && key != "POSTGAP") continue;
    const std::optional<uint64_t> number = DecimalValue(value, kMaxFieldDigits);
    if (!number) return HeaderError("track entry with a bad " + std::string(key) + " field");
    if (key == "TRACK") entry.number = uint32_t(*number), haveNumber = true;
    if (key == "FRAMES") entry.frames = *number, haveFrames = true;
    if (key == "PREGAP") entry.pregap = *number;
    if (key == "POSTGAP") entry.postgap = *number;
  }
  if (!haveNumber || !haveFrames || entry.type.empty()) {
    return HeaderError("track entry without TRACK, TYPE or FRAMES");
  }
  return entry;
}

}  // namespace zanthrel
