#include "source/chd/crc16.h"

#include <array>

namespace zanthrel {

namespace {

// table[0] advances the CRC over one byte; table[k] over a byte followed by
// k zero bytes, so that eight bytes can be taken at once, each looked up on
// its own (slicing by eight).
using Tables = std::array<std::array<uint16_t, 256>, 8>;

constexpr Tables MakeTables() {
  Tables tables{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t crc = byte << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
    tables[0][byte] = uint16_t(crc);
  }
  for (size_t k = 1; k < 8; ++k) {
    for (uint32_t byte = 0; byte < 256; ++byte) {
      const uint16_t previous = tables[k - 1][byte];
      tables[k][byte] = uint16_t(previous << 8) ^ tables[0][previous >> 8];
    }
  }
  return tables;
}

constexpr Tables kTables = MakeTables();

}  // namespace

uint16_t Crc16(const uint8_t* data, size_t length, uint16_t crc) {
  size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    const uint8_t* d = data + i;
    crc = kTables[7][(crc >> 8) ^ d[0]] ^ kTables[6][(crc & 0xFF) ^ d[1]] ^ kTables[5][d[2]] ^
          kTables[4][d[3]] ^ kTables[3][d[4]] ^ kTables[2][d[5]] ^ kTables[1][d[6]] ^ kTables[0][d[7]];
  }
  for (; i < length; ++i) crc = uint16_t(crc << 8) ^ kTables[0][(crc >> 8) ^ data[i]];
  return crc;
}

}  // namespace zanthrel
