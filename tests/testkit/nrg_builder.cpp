#include "testkit/nrg_builder.h"

#include <string>

namespace zanthrel::testkit {

namespace {

void PutBig(Bytes& out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(value >> (8 * i)));
}

void Chunk(Bytes& out, const std::string& id, const Bytes& payload) {
  out.insert(out.end(), id.begin(), id.end());
  PutBig(out, payload.size(), 4);
  out.insert(out.end(), payload.begin(), payload.end());
}

uint8_t Bcd(uint32_t value) { return uint8_t((value / 10) << 4 | (value % 10)); }

// One cue point: control/ADR, track and index in BCD, then the LBA (v2) or
// the absolute time M:S:F in BCD (v1).
void CuePoint(Bytes& out, int version, bool data, uint8_t track, uint8_t index, int64_t lba) {
  out.push_back(data ? 0x41 : 0x01);
  out.push_back(track);
  out.push_back(index);
  out.push_back(0);
  if (version == 2) {
    PutBig(out, uint64_t(uint32_t(int32_t(lba))), 4);
    return;
  }
  const uint64_t frame = uint64_t(lba + 150);
  out.push_back(0);
  out.push_back(Bcd(uint32_t(frame / 4500)));
  out.push_back(Bcd(uint32_t(frame / 75 % 60)));
  out.push_back(Bcd(uint32_t(frame % 75)));
}

bool IsAudio(uint8_t mode) { return mode == 0x07 || mode == 0x10; }

}  // namespace

Bytes BuildNrg(const std::vector<NrgTrackData>& tracks, const NrgOptions& options) {
  const bool v2 = options.version == 2;
  const int field = v2 ? 8 : 4;
  Bytes image, cue, dao, etn;
  PutBig(dao, 0, 4);
  dao.insert(dao.end(), 14, 0);  // catalogue number
  dao.push_back(0);
  dao.push_back(1);
  dao.push_back(1);
  dao.push_back(uint8_t(tracks.size()));
  CuePoint(cue, options.version, !IsAudio(tracks[0].mode), 0, 0, -150);
  int64_t lba = -int64_t(tracks[0].pregap.size() / tracks[0].sectorSize);
  for (size_t t = 0; t < tracks.size(); ++t) {
    const NrgTrackData& track = tracks[t];
    const bool data = !IsAudio(track.mode);
    const uint8_t number = Bcd(uint32_t(t + 1));
    const uint64_t index0 = image.size();
    if (!options.trackAtOnce) image.insert(image.end(), track.pregap.begin(), track.pregap.end());
    const uint64_t index1 = image.size();
    image.insert(image.end(), track.records.begin(), track.records.end());
    if (!track.pregap.empty()) CuePoint(cue, options.version, data, number, 0, lba);
    lba += int64_t(track.pregap.size() / track.sectorSize);
    CuePoint(cue, options.version, data, number, 1, lba);
    dao.insert(dao.end(), 12, 0);  // ISRC
    PutBig(dao, track.sectorSize, 2);
    dao.push_back(track.mode);
    dao.push_back(0);
    PutBig(dao, 1, 2);
    PutBig(dao, index0, field);
    PutBig(dao, index1, field);
    PutBig(dao, image.size(), field);
    const uint64_t sectors = track.records.size() / track.sectorSize;
    PutBig(etn, index1, field);
    PutBig(etn, track.records.size(), field);
    PutBig(etn, track.mode, 4);
    PutBig(etn, uint64_t(lba), 4);
    PutBig(etn, 0, 4);
    if (v2) PutBig(etn, sectors, 4);
    lba += int64_t(sectors);
  }
  CuePoint(cue, options.version, !IsAudio(tracks.back().mode), 0xAA, 1, lba);
  for (int i = 0; i < 4; ++i) dao[size_t(i)] = uint8_t(dao.size() >> (8 * (3 - i)));

  const uint64_t chain = image.size();
  if (options.trackAtOnce) {
    Chunk(image, v2 ? "ETN2" : "ETNF", etn);
  } else {
    Chunk(image, v2 ? "CUEX" : "CUES", cue);
    Chunk(image, v2 ? "DAOX" : "DAOI", dao);
  }
  Bytes sessionTracks;
  PutBig(sessionTracks, tracks.size(), 4);
  Chunk(image, "SINF", sessionTracks);
  if (v2) {
    Bytes mediaType;
    PutBig(mediaType, 1, 4);
    Chunk(image, "MTYP", mediaType);
  }
  Chunk(image, "END!", {});
  const std::string magic = v2 ? "NER5" : "NERO";
  image.insert(image.end(), magic.begin(), magic.end());
  PutBig(image, chain, field);
  return image;
}

}  // namespace zanthrel::testkit
