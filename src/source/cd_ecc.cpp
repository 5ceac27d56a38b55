#include "source/cd_ecc.h"

#include <array>
#include <cstddef>
#include <cstring>

namespace zanthrel {

namespace {

// Multiplication by x in GF(2^8) with the polynomial x^8 + x^4 + x^3 + x^2 + 1,
// written with shifts so that a loop over many bytes vectorises.
constexpr uint8_t TimesX(uint8_t value) { return uint8_t((value << 1) ^ ((value >> 7) * 0x1D)); }

// The inverse of multiplication by (1 + x).
constexpr std::array<uint8_t, 256> MakeOverOnePlusX() {
  std::array<uint8_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) table[i ^ TimesX(uint8_t(i))] = uint8_t(i);
  return table;
}

constexpr std::array<uint8_t, 256> kOverOnePlusX = MakeOverOnePlusX();

// A parity pass sees the bytes from byte 12 on as 1032 words whose even and
// odd bytes form two interleaved codes: `vectors` codewords of `length` bytes,
// codeword v starting at byte (v / 2) * vectorStep + v % 2 and stepping
// `byteStep` bytes round the end of the data. The table gives the k-th byte
// of codeword v at [k * vectors + v].
template <size_t vectors, size_t length, size_t vectorStep, size_t byteStep>
constexpr std::array<uint16_t, vectors * length> MakeCodewordOrder() {
  std::array<uint16_t, vectors * length> order{};
  for (size_t v = 0; v < vectors; ++v) {
    size_t index = (v >> 1) * vectorStep + (v & 1);
    for (size_t k = 0; k < length; ++k) {
      order[k * vectors + v] = uint16_t(index);
      index = (index + byteStep) % (vectors * length);
    }
  }
  return order;
}

// Writes the 2 * vectors parity bytes of the pass at `parity`. All codewords
// advance together, a byte each a round.
template <size_t vectors, size_t length, size_t vectorStep, size_t byteStep>
void ParityPass(const uint8_t* data, uint8_t* parity) {
  static constexpr auto order = MakeCodewordOrder<vectors, length, vectorStep, byteStep>();
  uint8_t a[vectors] = {}, b[vectors] = {}, round[vectors];
  for (size_t k = 0; k < length; ++k) {
    for (size_t v = 0; v < vectors; ++v) round[v] = data[order[k * vectors + v]];
    for (size_t v = 0; v < vectors; ++v) {
      a[v] = TimesX(a[v] ^ round[v]);
      b[v] ^= round[v];
    }
  }
  for (size_t v = 0; v < vectors; ++v) {
    const uint8_t p = kOverOnePlusX[TimesX(a[v]) ^ b[v]];
    parity[v] = p;
    parity[v + vectors] = p ^ b[v];
  }
}

// Logarithms in GF(2^8) to the base x, for the place of a wrong byte.
constexpr std::array<uint8_t, 256> MakeLogarithms() {
  std::array<uint8_t, 256> table{};
  uint8_t power = 1;
  for (uint32_t exponent = 0; exponent < 255; ++exponent) {
    table[power] = uint8_t(exponent);
    power = TimesX(power);
  }
  return table;
}

constexpr std::array<uint8_t, 256> kLogarithm = MakeLogarithms();

// The codeword c(0..n-1) of vector v (its data bytes, then its two parity
// bytes) satisfies sum c(k) = 0 and sum c(k) x^(n-1-k) = 0, as the pass above
// writes it. One wrong byte e at k leaves the sums e and e x^(n-1-k), which
// give both its place and its value.
template <size_t vectors, size_t length, size_t vectorStep, size_t byteStep>
size_t CorrectionPass(uint8_t* data, uint8_t* parity) {
  static constexpr auto order = MakeCodewordOrder<vectors, length, vectorStep, byteStep>();
  constexpr size_t n = length + 2;
  auto byteOf = [&](size_t v, size_t k) -> uint8_t& {
    return k < length ? data[order[k * vectors + v]] : parity[v + (k - length) * vectors];
  };
  size_t changed = 0;
  for (size_t v = 0; v < vectors; ++v) {
    uint8_t sum = 0, weighted = 0;
    for (size_t k = 0; k < n; ++k) {
      sum ^= byteOf(v, k);
      weighted = TimesX(weighted) ^ byteOf(v, k);
    }
    if (sum == 0 || weighted == 0) continue;  // clean, or more than one byte wrong
    const size_t shift = (kLogarithm[weighted] + 255 - kLogarithm[sum]) % 255;
    if (shift >= n) continue;
    byteOf(v, n - 1 - shift) ^= sum;
    ++changed;
  }
  return changed;
}

}  // namespace

size_t CorrectEccRound(uint8_t* sector) {
  const size_t p = CorrectionPass<86, 24, 2, 86>(sector + 12, sector + 2076);
  return p + CorrectionPass<52, 43, 86, 88>(sector + 12, sector + 2248);
}

void WriteEccParity(uint8_t* sector) {
  uint8_t address[4] = {};
  const bool mode2 = sector[15] == 2;
  if (mode2) {
    std::memcpy(address, sector + 12, 4);
    std::memset(sector + 12, 0, 4);
  }
  ParityPass<86, 24, 2, 86>(sector + 12, sector + 2076);
  ParityPass<52, 43, 86, 88>(sector + 12, sector + 2248);
  if (mode2) std::memcpy(sector + 12, address, 4);
}

}  // namespace zanthrel
