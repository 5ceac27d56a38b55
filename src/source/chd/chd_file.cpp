#include "source/chd/chd_file.h"

#include <algorithm>

#include "source/big_endian.h"
#include "source/chd/chd_codecs.h"
#include "source/chd/crc16.h"

namespace zanthrel {

namespace {

constexpr size_t kMaxMetadataEntries = 1024;
constexpr size_t kMetadataHeadSize = 16;

Error ChdError(const std::string& what) { return Error{"CHD: " + what}; }

// Reads exactly `count` bytes, or says that the file is cut short there.
Status ReadWhole(const HostFile& file, uint64_t offset, void* buffer, size_t count, const char* what) {
  Result<size_t> read = file.ReadAt(offset, buffer, count);
  if (!read) return read.Failure();
  if (*read < count) return ChdError(std::string(what) + " is cut short");
  return {};
}

Result<std::vector<ChdHunk>> ReadMap(const HostFile& file, uint64_t fileSize, const ChdHeader& header) {
  std::vector<uint8_t> map;
  if (!header.Compressed()) {
    map.resize(size_t(header.HunkCount() * 4));
    if (Status read = ReadWhole(file, header.mapOffset, map.data(), map.size(), "the hunk map"); !read) {
      return read.Failure();
    }
    return DecodeRawMap(header, map.data());
  }
  map.resize(kChdMapHeaderSize);
  if (Status read = ReadWhole(file, header.mapOffset, map.data(), map.size(), "the hunk map"); !read) {
    return read.Failure();
  }
  const uint64_t length = CompressedMapLength(map.data());
  if (length > MaxCompressedMapLength(header) || length > fileSize) {
    return ChdError("the hunk map is longer than any map of its hunks");
  }
  map.resize(kChdMapHeaderSize + size_t(length));
  if (Status read = ReadWhole(file, header.mapOffset + kChdMapHeaderSize, map.data() + kChdMapHeaderSize,
                              size_t(length), "the hunk map");
      !read) {
    return read.Failure();
  }
  return DecodeCompressedMap(header, map.data(), map.size());
}

}  // namespace

Result<std::unique_ptr<ChdFile>> ChdFile::Open(HostFile file, uint64_t fileSize) {
  uint8_t head[kChdHeaderSize] = {};
  Result<size_t> read = file.ReadAt(0, head, sizeof head);
  if (!read) return read.Failure();
  Result<ChdHeader> header = ParseChdHeader(head, *read);
  if (!header) return header.Failure();

  std::string codecNames;
  for (uint32_t tag : header->compressors) {
    if (tag == 0) continue;
    if (!MakeChdCodec(tag, header->hunkBytes)) {
      return ChdError("compressor '" + ChdTagText(tag) + "' is not one this reader knows");
    }
    codecNames += (codecNames.empty() ? "" : ", ") + ChdTagText(tag);
  }
  Result<std::vector<ChdHunk>> map = ReadMap(file, fileSize, *header);
  if (!map) return map.Failure();
  return std::unique_ptr<ChdFile>(new ChdFile(std::move(file), *header, std::move(*map), std::move(codecNames)));
}

ChdFile::ChdFile(HostFile file, const ChdHeader& header, std::vector<ChdHunk> map, std::string codecNames)
    : file_(std::move(file)), header_(header), map_(std::move(map)), codecNames_(std::move(codecNames)) {}

ChdCodecs ChdFile::MakeCodecs() const {
  ChdCodecs codecs;
  for (uint32_t tag : header_.compressors) {
    codecs.bySlot.push_back(tag == 0 ? nullptr : MakeChdCodec(tag, header_.hunkBytes));
  }
  return codecs;
}

uint64_t ChdFile::SourceOf(uint64_t number) const {
  // The map decoder lets a copy point only at a hunk that is no copy itself.
  return number < map_.size() && map_[number].kind == ChdHunk::kSelf ? map_[number].offset : number;
}

HunkCondition ChdFile::Decode(ChdCodecs& codecs, uint64_t number, uint8_t* destination) const {
  if (number >= map_.size()) return HunkCondition::kUnreadable;
  const ChdHunk* hunk = &map_[SourceOf(number)];
  const size_t size = header_.hunkBytes;
  const auto checked = [&](bool read) {
    if (!read) return HunkCondition::kUnreadable;
    return Crc16(destination, size) == hunk->crc ? HunkCondition::kIntact : HunkCondition::kWrongCrc;
  };
  switch (hunk->kind) {
    case ChdHunk::kZeros:
      std::fill(destination, destination + size, 0);
      return HunkCondition::kIntact;
    case ChdHunk::kUnchecked:
      return ReadExactly(hunk->offset, destination, size) ? HunkCondition::kIntact
                                                          : HunkCondition::kUnreadable;
    case ChdHunk::kStored:
      return checked(ReadExactly(hunk->offset, destination, size));
    case ChdHunk::kCodec: {
      BlockDecoder* codec = hunk->codec < codecs.bySlot.size() ? codecs.bySlot[hunk->codec].get() : nullptr;
      // A codec that gains nothing stores the hunk as it is, so a longer entry is damage.
      if (!codec || hunk->length > size) return HunkCondition::kUnreadable;
      codecs.compressed.resize(hunk->length);
      return checked(ReadExactly(hunk->offset, codecs.compressed.data(), hunk->length) &&
                     codec->Decode(codecs.compressed.data(), hunk->length, destination, size));
    }
    default:
      return HunkCondition::kUnreadable;
  }
}

bool ChdFile::ReadExactly(uint64_t offset, uint8_t* buffer, size_t count) const {
  Result<size_t> read = file_.ReadAt(offset, buffer, count);
  return read && *read == count;
}

Result<std::vector<ChdMetadataEntry>> ReadChdMetadata(const HostFile& file, uint64_t offset) {
  std::vector<ChdMetadataEntry> entries;
  for (size_t n = 0; offset != 0; ++n) {
    if (n == kMaxMetadataEntries) return ChdError("the metadata chain does not end");
    uint8_t head[kMetadataHeadSize];
    if (Status read = ReadWhole(file, offset, head, sizeof head, "the metadata"); !read) {
      return read.Failure();
    }
    entries.push_back({uint32_t(ReadBigEndian(head, 4)), head[4], offset + kMetadataHeadSize,
                       uint32_t(ReadBigEndian(head + 5, 3))});
    offset = ReadBigEndian(head + 8, 8);
  }
  return entries;
}

}  // namespace zanthrel
