#include "source/cd_edc.h"

#include <array>

namespace zanthrel {

namespace {

using EdcTables = std::array<std::array<uint32_t, 256>, 8>;

// Table k gives the CRC of a byte followed by k zero bytes.
constexpr EdcTables MakeEdcTables() {
  EdcTables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xD8018001u : crc >> 1;
    tables[0][i] = crc;
  }
  for (size_t k = 1; k < 8; ++k) {
    for (uint32_t i = 0; i < 256; ++i) {
      tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
    }
  }
  return tables;
}

constexpr EdcTables kEdcTables = MakeEdcTables();

uint32_t Little32(const uint8_t* at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

}  // namespace

uint32_t CdEdc(const uint8_t* data, size_t length) {
  const EdcTables& t = kEdcTables;
  uint32_t crc = 0;
  for (; length >= 8; data += 8, length -= 8) {
    const uint32_t low = crc ^ Little32(data);
    const uint32_t high = Little32(data + 4);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
  }
  for (; length > 0; ++data, --length) crc = (crc >> 8) ^ t[0][(crc ^ *data) & 0xFF];
  return crc;
}

}  // namespace zanthrel
