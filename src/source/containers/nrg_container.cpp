#include "source/containers/nrg_container.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "source/big_endian.h"
#include "source/cd_sector.h"
#include "source/file_disc.h"
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

// A track as the table gives it: its mode, and its records from `pregapStart`
// (INDEX 00) through `start` (INDEX 01) to `end`.
struct Place {
  uint32_t track;
  uint8_t mode;
  bool sized;  // the table gives the sector size: a DAO table
  uint64_t sectorSize;
  uint64_t pregapStart;
  uint64_t start;
  uint64_t end;
  bool cueSaysData;
};

struct Layout {
  int version;
  const char* table;
  uint64_t chunksStart;  // the track data lies before it
  std::vector<Place> places;
};

Result<std::vector<Place>> FromDao(const Chunks& chunks) {
  const std::vector<uint8_t>& dao = chunks.dao;
  const size_t entrySize = chunks.daoV2 ? 42 : 30;
  const size_t field = chunks.daoV2 ? 8 : 4;
  if (dao.size() < kDaoHeaderSize) return NrgError("the DAO table is cut short");
  const uint32_t first = dao[20], last = dao[21];
  if (last < first || dao.size() < kDaoHeaderSize + (last - first + 1) * entrySize) {
    return NrgError("the DAO table does not hold tracks " + std::to_string(first) + " to " +
                    std::to_string(last));
  }
  std::vector<Place> places;
  for (uint32_t i = 0; i <= last - first; ++i) {
    const uint8_t* entry = &dao[kDaoHeaderSize + i * entrySize];
    const uint32_t track = first + i;
    places.push_back(Place{track, entry[14], true, ReadBigEndian(entry + 12, 2),
                           ReadBigEndian(entry + 18, field), ReadBigEndian(entry + 18 + field, field),
                           ReadBigEndian(entry + 18 + 2 * field, field), CueSaysData(chunks, track)});
  }
  return places;
}

std::vector<Place> FromEtn(const Chunks& chunks) {
  const size_t entrySize = chunks.etnV2 ? 32 : 20;
  const size_t field = chunks.etnV2 ? 8 : 4;
  std::vector<Place> places;
  for (size_t at = 0; at + entrySize <= chunks.etn.size(); at += entrySize) {
    const uint8_t* entry = &chunks.etn[at];
    const uint64_t start = ReadBigEndian(entry, field);
    places.push_back(Place{uint32_t(at / entrySize + 1), entry[2 * field + 3], false, 0, start, start,
                           start + ReadBigEndian(entry + field, field), true});
  }
  return places;
}

Result<Layout> ReadLayout(const HostFile& file, uint64_t fileSize) {
  uint8_t tail[12] = {};
  const size_t tailLength = size_t(std::min<uint64_t>(fileSize, 12));
  Result<size_t> read = file.ReadAt(fileSize - tailLength, tail, tailLength);
  if (!read) return read.Failure();
  const int version = NrgVersion(tail, *read);
  if (version == 0) return NrgError("no footer");
  const uint64_t footer = fileSize - (version == 2 ? 12 : 8);
  const uint64_t first = version == 2 ? ReadBigEndian(tail + *read - 8, 8) : ReadBigEndian(tail + *read - 4, 4);
  if (first >= footer) return NrgError("the footer points past the chunks");

  Result<Chunks> chunks = ReadChunks(file, first, footer);
  if (!chunks) return chunks.Failure();
  if (!chunks->dao.empty()) {
    Result<std::vector<Place>> places = FromDao(*chunks);
    if (!places) return places.Failure();
    return Layout{version, "DAO", first, std::move(*places)};
  }
  if (!chunks->etn.empty()) return Layout{version, "TAO", first, FromEtn(*chunks)};
  return NrgError("no track table");
}

std::string TrackName(const Place& place) { return "track " + std::to_string(place.track); }

// The track's mode, known, its records whole and inside the track data.
Result<const NrgMode*> CheckPlace(const Layout& layout, const Place& place) {
  const NrgMode* mode = FindMode(place.mode);
  if (!mode) {
    return NrgError(TrackName(place) + " has the unknown mode code " + HexByteText(place.mode, 2, true));
  }
  if (place.sized && place.sectorSize != mode->format.recordSize) {
    return NrgError(TrackName(place) + " gives " + std::to_string(place.sectorSize) +
                    "-byte sectors for mode " + HexByteText(mode->code, 2, true));
  }
  if (place.end < place.start || (place.sized && (place.end - place.start) % place.sectorSize != 0)) {
    return NrgError(TrackName(place) + " is not a whole number of sectors");
  }
  if (place.end > layout.chunksStart) return NrgError(TrackName(place) + " lies outside the track data");
  return mode;
}

// The first track that holds data: its index in the layout.
Result<size_t> FindDataTrack(const Layout& layout) {
  for (size_t k = 0; k < layout.places.size(); ++k) {
    const NrgMode* mode = FindMode(layout.places[k].mode);
    if (mode && (!mode->data || !layout.places[k].cueSaysData)) continue;
    Result<const NrgMode*> checked = CheckPlace(layout, layout.places[k]);
    if (!checked) return checked.Failure();
    return k;
  }
  return NrgError("no data track, only audio");
}

// A raw track must start with a sync; its mode byte says where the user data is.
Result<RecordFormat> CheckRawStart(const HostFile& file, const Place& place, RecordFormat format) {
  if (format.recordSize < kCdFrameSize) return format;
  uint8_t head[16];
  Result<size_t> read = file.ReadAt(place.start, head, sizeof head);
  if (!read) return read.Failure();
  if (*read < sizeof head || !HasCdSync(head) || (head[kCdModeByte] != 1 && head[kCdModeByte] != 2)) {
    return NrgError(TrackName(place) + " has no raw data sector at its start");
  }
  return RecordFormat{format.recordSize, head[kCdModeByte] == 1 ? 16u : 24u};
}

std::string Description(const Layout& layout, const Place& place, RecordFormat format) {
  return "NRG v" + std::to_string(layout.version) + " (" + layout.table + "), " + TrackName(place) + ", mode " +
         HexByteText(place.mode, 2, true) + " (" + std::to_string(format.recordSize) + "-byte sectors)";
}

// The data track's place and record format, checked.
struct DataPlace {
  size_t index;
  RecordFormat format;
};

Result<DataPlace> PlaceDataTrack(const HostFile& file, const Layout& layout) {
  Result<size_t> index = FindDataTrack(layout);
  if (!index) return index.Failure();
  const Place& place = layout.places[*index];
  Result<RecordFormat> format = CheckRawStart(file, place, FindMode(place.mode)->format);
  if (!format) return format.Failure();
  if ((place.end - place.start) / format->recordSize == 0) return NrgError(TrackName(place) + " is empty");
  return DataPlace{*index, *format};
}

FrameMode ModeOf(const NrgMode& mode, RecordFormat format) {
  if (!mode.data) return FrameMode::kAudio;
  // Code 0x02 keeps the user data of Mode 2 Form 1 sectors.
  if (mode.code == 0x02 || format.recordSize == kMode2Records.recordSize ||
      format.userOffset == kMode2Raw.userOffset) {
    return FrameMode::kMode2;
  }
  return FrameMode::kMode1;
}

}  // namespace

int NrgVersion(const uint8_t* tail, size_t length) {
  if (length >= 12 && std::memcmp(tail + length - 12, "NER5", 4) == 0) return 2;
  if (length >= 8 && std::memcmp(tail + length - 8, "NERO", 4) == 0) return 1;
  return 0;
}

Result<std::unique_ptr<DataTrack>> OpenNrgTrack(HostFile file, uint64_t fileSize) {
  Result<Layout> layout = ReadLayout(file, fileSize);
  if (!layout) return layout.Failure();
  Result<DataPlace> data = PlaceDataTrack(file, *layout);
  if (!data) return data.Failure();
  const Place& where = layout->places[data->index];
  return std::unique_ptr<DataTrack>(std::make_unique<FileTrack>(
      std::move(file), where.start, data->format, (where.end - where.start) / data->format.recordSize,
      ContainerFields{"nrg", {}, uint32_t(where.track), "", Description(*layout, where, data->format)}));
}

Result<std::unique_ptr<DiscImage>> OpenNrgDisc(HostFile file, uint64_t fileSize) {
  Result<Layout> layout = ReadLayout(file, fileSize);
  if (!layout) return layout.Failure();
  Result<DataPlace> data = PlaceDataTrack(file, *layout);
  if (!data) return data.Failure();
  const auto shared = std::make_shared<const HostFile>(std::move(file));
  std::vector<StoredTrack> tracks;
  for (const Place& place : layout->places) {
    Result<const NrgMode*> mode = CheckPlace(*layout, place);
    if (!mode) return mode.Failure();
    Result<RecordFormat> format =
        (*mode)->data ? CheckRawStart(*shared, place, (*mode)->format) : Result<RecordFormat>((*mode)->format);
    if (!format) return format.Failure();
    const uint32_t size = format->recordSize;
    if (place.pregapStart > place.start || (place.start - place.pregapStart) % size != 0) {
      return NrgError(TrackName(place) + " has a pregap that is not a whole number of sectors");
    }
    StoredTrack track;
    track.track.number = place.track;
    track.track.mode = ModeOf(**mode, *format);
    track.track.frames = (place.end - place.pregapStart) / size;
    track.track.storedPregap = (place.start - place.pregapStart) / size;
    if (track.track.frames == 0) return NrgError(TrackName(place) + " is empty");
    track.records.file = shared;
    track.records.start = place.pregapStart;
    track.records.recordSize = size;
    tracks.push_back(std::move(track));
  }
  const Place& volume = layout->places[data->index];
  return MakeFileDisc(std::move(tracks), data->index, Description(*layout, volume, data->format));
}

}  // namespace zanthrel
