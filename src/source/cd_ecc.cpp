#include "source/cd_ecc.h"

#include <array>
#include <cstddef>
#include <cstring>

namespace zanthrel {

namespace {

// Multiplication by x in GF(2^8) with the polynomial x^8 + x^4 + x^3 + x^2 + 1,
// and the inverse of multiplication by (1 + x).
struct GaloisTables {
  std::array<uint8_t, 256> timesX{};
  std::array<uint8_t, 256> overOnePlusX{};
};

constexpr GaloisTables MakeTables() {
  GaloisTables tables;
  for (uint32_t i = 0; i < 256; ++i) {
    const uint32_t doubled = (i << 1) ^ ((i & 0x80) ? 0x11D : 0);
    tables.timesX[i] = uint8_t(doubled);
    tables.overOnePlusX[i ^ doubled] = uint8_t(i);
  }
  return tables;
}

constexpr GaloisTables kTables = MakeTables();

// One parity pass over the 2064 bytes from byte 12 on, seen as 1032 words of
// which the even bytes and the odd bytes are two interleaved codes: `vectors`
// codewords of `length` bytes each, stepping through the data as ECMA-130
// orders them. Writes 2 * vectors parity bytes at `parity`.
void ParityPass(const uint8_t* data, size_t vectors, size_t length, size_t vectorStep,
                size_t byteStep, uint8_t* parity) {
  const size_t size = vectors * length;
  for (size_t vector = 0; vector < vectors; ++vector) {
    size_t index = (vector >> 1) * vectorStep + (vector & 1);
    uint8_t a = 0, b = 0;
    for (size_t k = 0; k < length; ++k) {
      const uint8_t byte = data[index];
      index += byteStep;
      if (index >= size) index -= size;
      a = kTables.timesX[a ^ byte];
      b ^= byte;
    }
    a = kTables.overOnePlusX[kTables.timesX[a] ^ b];
    parity[vector] = a;
    parity[vector + vectors] = a ^ b;
  }
}

}  // namespace

void WriteEccParity(uint8_t* sector) {
  uint8_t address[4] = {};
  const bool mode2 = sector[15] == 2;
  if (mode2) {
    std::memcpy(address, sector + 12, 4);
    std::memset(sector + 12, 0, 4);
  }
  ParityPass(sector + 12, 86, 24, 2, 86, sector + 2076);
  ParityPass(sector + 12, 52, 43, 86, 88, sector + 2248);
  if (mode2) std::memcpy(sector + 12, address, 4);
}

}  // namespace zanthrel
