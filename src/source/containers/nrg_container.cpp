#include "source/containers/nrg_container.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "source/big_endian.h"
#include "source/cd_sector.h"
#include "source/file_track.h"
#include "support/text.h"

namespace zanthrel {

namespace {

constexpr size_t kMaxChunks = 4096;
// Track tables of 99 tracks take a few KiB; anything far larger is damage.
constexpr uint32_t kMaxTableBytes = 64 * 1024;
constexpr size_t kDaoHeaderSize = 22;

struct NrgMode {
  uint8_t code;
  bool data;
  RecordFormat format;
};

constexpr NrgMode kModes[] = {
    {0x00, true, kCooked},    {0x02, true, kCooked},    {0x03, true, kMode2Records},
    {0x05, true, kMode1Raw},  {0x06, true, kMode2Raw},  {0x07, false, {kCdFrameSize, 0}},
    {0x0F, true, {2448, 16}}, {0x10, false, {2448, 0}}, {0x11, true, {2448, 24}},
};

const NrgMode* FindMode(uint8_t code) {
  for (const NrgMode& mode : kModes) {
    if (mode.code == code) return &mode;
  }
  return nullptr;
}

// The first chunk of each kind that tells where tracks lie.
struct Chunks {
  std::vector<uint8_t> cue, dao, etn;
  bool cueV2 = false, daoV2 = false, etnV2 = false;
};

Error NrgError(const std::string& what) { return Error{"NRG image: " + what}; }

Result<Chunks> ReadChunks(const HostFile& file, uint64_t first, uint64_t footer) {
  Chunks chunks;
  uint64_t offset = first;
  for (size_t n = 0; n < kMaxChunks && offset + 8 <= footer; ++n) {
    uint8_t head[8];
    Result<size_t> read = file.ReadAt(offset, head, 8);
    if (!read) return read.Failure();
    if (*read < 8) return NrgError("the chunk chain is cut short");
    const std::string id(reinterpret_cast<const char*>(head), 4);
    const uint64_t size = ReadBigEndian(head + 4, 4);
    if (id == "END!") break;
    if (offset + 8 + size > footer) return NrgError("chunk " + id + " runs into the footer");
    std::vector<uint8_t>* slot = nullptr;
    bool* v2 = nullptr;
    if (id == "CUES" || id == "CUEX") slot = &chunks.cue, v2 = &chunks.cueV2;
    if (id == "DAOI" || id == "DAOX") slot = &chunks.dao, v2 = &chunks.daoV2;
    if (id == "ETNF" || id == "ETN2") slot = &chunks.etn, v2 = &chunks.etnV2;
    if (slot && slot->empty() && size > 0) {
      if (size > kMaxTableBytes) return NrgError("chunk " + id + " is too large");
      slot->resize(size_t(size));
      Result<size_t> payload = file.ReadAt(offset + 8, slot->data(), slot->size());
      if (!payload) return payload.Failure();
      if (*payload < size) return NrgError("chunk " + id + " is cut short");
      *v2 = id.back() == 'X' || id.back() == '2';
    }
    offset += 8 + size;
  }
  return chunks;
}

uint8_t Bcd(uint32_t value) { return uint8_t((value / 10) << 4 | (value % 10)); }

// False when the cue points mark the track's INDEX 01 as audio; true when
// they say data or do not speak of the track.
bool CueSaysData(const Chunks& chunks, uint32_t track) {
  for (size_t at = 0; at + 8 <= chunks.cue.size(); at += 8) {
    const uint8_t* entry = &chunks.cue[at];
    if (entry[1] == Bcd(track) && entry[2] == 1) return (entry[0] & 0x40) != 0;
  }
  return true;
}

struct Place {
  uint32_t track;
  uint8_t mode;
  RecordFormat format;
  uint64_t start;
  uint64_t bytes;
  const char* table;
};

Result<std::optional<Place>> FromDao(const Chunks& chunks) {
  const std::vector<uint8_t>& dao = chunks.dao;
  const size_t entrySize = chunks.daoV2 ? 42 : 30;
  const size_t field = chunks.daoV2 ? 8 : 4;
  if (dao.size() < kDaoHeaderSize) return NrgError("the DAO table is cut short");
  const uint32_t first = dao[20], last = dao[21];
  if (last < first || dao.size() < kDaoHeaderSize + (last - first + 1) * entrySize) {
    return NrgError("the DAO table does not hold tracks " + std::to_string(first) + " to " +
                    std::to_string(last));
  }
  for (uint32_t i = 0; i <= last - first; ++i) {
    const uint8_t* entry = &dao[kDaoHeaderSize + i * entrySize];
    const uint32_t track = first + i;
    const NrgMode* mode = FindMode(entry[14]);
    if (!mode) {
      return NrgError("track " + std::to_string(track) + " has the unknown mode code " +
                      HexByteText(entry[14], 2, true));
    }
    if (!mode->data || !CueSaysData(chunks, track)) continue;
    const uint64_t size = ReadBigEndian(entry + 12, 2);
    const uint64_t index1 = ReadBigEndian(entry + 18 + field, field);
    const uint64_t end = ReadBigEndian(entry + 18 + 2 * field, field);
    if (size != mode->format.recordSize) {
      return NrgError("track " + std::to_string(track) + " gives " + std::to_string(size) +
                      "-byte sectors for mode " + HexByteText(mode->code, 2, true));
    }
    if (end < index1 || (end - index1) % size != 0) {
      return NrgError("track " + std::to_string(track) + " is not a whole number of sectors");
    }
    return std::optional<Place>(Place{track, mode->code, mode->format, index1, end - index1, "DAO"});
  }
  return std::optional<Place>();
}

Result<std::optional<Place>> FromEtn(const Chunks& chunks) {
  const size_t entrySize = chunks.etnV2 ? 32 : 20;
  const size_t field = chunks.etnV2 ? 8 : 4;
  for (size_t at = 0; at + entrySize <= chunks.etn.size(); at += entrySize) {
    const uint8_t* entry = &chunks.etn[at];
    const uint8_t code = entry[2 * field + 3];
    const NrgMode* mode = FindMode(code);
    const uint32_t track = uint32_t(at / entrySize + 1);
    if (!mode) {
      return NrgError("track " + std::to_string(track) + " has the unknown mode code " +
                      HexByteText(code, 2, true));
    }
    if (!mode->data) continue;
    return std::optional<Place>(Place{track, code, mode->format, ReadBigEndian(entry, field),
                                      ReadBigEndian(entry + field, field), "TAO"});
  }
  return std::optional<Place>();
}

// A raw track must start with a sync; its mode byte says where the user data is.
Result<RecordFormat> CheckRawStart(const HostFile& file, const Place& place) {
  if (place.format.recordSize < kCdFrameSize) return place.format;
  uint8_t head[16];
  Result<size_t> read = file.ReadAt(place.start, head, sizeof head);
  if (!read) return read.Failure();
  if (*read < sizeof head || !HasCdSync(head) || (head[kCdModeByte] != 1 && head[kCdModeByte] != 2)) {
    return NrgError("track " + std::to_string(place.track) + " has no raw data sector at its start");
  }
  return RecordFormat{place.format.recordSize, head[kCdModeByte] == 1 ? 16u : 24u};
}

}  // namespace

int NrgVersion(const uint8_t* tail, size_t length) {
  if (length >= 12 && std::memcmp(tail + length - 12, "NER5", 4) == 0) return 2;
  if (length >= 8 && std::memcmp(tail + length - 8, "NERO", 4) == 0) return 1;
  return 0;
}

Result<std::unique_ptr<DataTrack>> OpenNrgTrack(HostFile file, uint64_t fileSize) {
  uint8_t tail[12] = {};
  const size_t tailLength = size_t(std::min<uint64_t>(fileSize, 12));
  Result<size_t> read = file.ReadAt(fileSize - tailLength, tail, tailLength);
  if (!read) return read.Failure();
  const int version = NrgVersion(tail, *read);
  if (version == 0) return NrgError("no footer");
  const uint64_t footer = fileSize - (version == 2 ? 12 : 8);
  const uint64_t first =
      version == 2 ? ReadBigEndian(tail + *read - 8, 8) : ReadBigEndian(tail + *read - 4, 4);
  if (first >= footer) return NrgError("the footer points past the chunks");

  Result<Chunks> chunks = ReadChunks(file, first, footer);
  if (!chunks) return chunks.Failure();
  Result<std::optional<Place>> place = !chunks->dao.empty()   ? FromDao(*chunks)
                                       : !chunks->etn.empty() ? FromEtn(*chunks)
                                                              : NrgError("no track table");
  if (!place) return place.Failure();
  if (!*place) return NrgError("no data track, only audio");
  if ((*place)->start > first || (*place)->bytes > first - (*place)->start) {
    return NrgError("track " + std::to_string((*place)->track) + " lies outside the track data");
  }
  Result<RecordFormat> format = CheckRawStart(file, **place);
  if (!format) return format.Failure();
  const Place& where = **place;
  const uint64_t sectors = where.bytes / format->recordSize;
  if (sectors == 0) return NrgError("track " + std::to_string(where.track) + " is empty");
  return std::unique_ptr<DataTrack>(std::make_unique<FileTrack>(
      std::move(file), where.start, *format, sectors,
      ContainerFields{"nrg", {}, uint32_t(where.track), "",
                      "NRG v" + std::to_string(version) + " (" + where.table + "), track " +
                          std::to_string(where.track) + ", mode " + HexByteText(where.mode, 2, true) + " (" +
                          std::to_string(format->recordSize) + "-byte sectors)"}));
}

}  // namespace zanthrel
