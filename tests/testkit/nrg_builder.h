// Builds Nero NRG images for tests, v1 and v2, with a disc-at-once table
// (CUE* and DAO* chunks) or a track-at-once one (ETN*), as Nero lays them out:
// the tracks' records from byte 0, then the chunks, then the footer.
#pragma once

#include <cstdint>
#include <vector>

#include "testkit/files.h"

namespace zanthrel::testkit {

struct NrgTrackData {
  uint8_t mode;         // Nero's mode code: 0x00, 0x05, 0x06, 0x07, ...
  uint16_t sectorSize;  // bytes per stored record
  Bytes pregap;         // records stored in front of INDEX 01 (DAO only)
  Bytes records;        // the track from INDEX 01 on
};

struct NrgOptions {
  int version = 2;  // 1: "NERO", CUES, DAOI, ETNF; 2: "NER5", CUEX, DAOX, ETN2
  bool trackAtOnce = false;
};

Bytes BuildNrg(const std::vector<NrgTrackData>& tracks, const NrgOptions& options);

}  // namespace zanthrel::testkit
