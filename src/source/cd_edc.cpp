#include "source/cd_edc.h"

#include <array>

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#define ZANTHREL_EDC_CLMUL 1
#endif

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

// Eight bytes a step through eight tables.
uint32_t TableEdc(uint32_t crc, const uint8_t* data, size_t length) {
  const EdcTables& t = kEdcTables;
  for (; length >= 8; data += 8, length -= 8) {
    const uint32_t low = crc ^ Little32(data);
    const uint32_t high = Little32(data + 4);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
  }
  for (; length > 0; ++data, --length) crc = (crc >> 8) ^ t[0][(crc ^ *data) & 0xFF];
  return crc;
}

#ifdef ZANTHREL_EDC_CLMUL

// Folding with carry-less multiplication. 16 bytes of the message, loaded
// little-endian, hold its bits reflected: register bit j is the coefficient
// of x^(127 - j). A leading block X followed by n more bits is congruent,
// modulo the polynomial, to X_hi (x^(n+64) mod P) + X_lo (x^n mod P), which
// is shorter; the CRC of the folded value is the CRC of the whole.

// x^n mod P, P = x^32 + 0x8001801B in the order of degrees.
constexpr uint64_t PowerModP(uint32_t n) {
  uint64_t r = 1;
  for (uint32_t i = 0; i < n; ++i) {
    r <<= 1;
    if (r & (uint64_t(1) << 32)) r ^= (uint64_t(1) << 32) | 0x8001801Bu;
  }
  return r;
}

constexpr uint64_t Reflect64(uint64_t value) {
  uint64_t reflected = 0;
  for (int bit = 0; bit < 64; ++bit) reflected |= ((value >> bit) & 1) << (63 - bit);
  return reflected;
}

// The constants that fold a block over one and over four blocks. A product
// of reflected values reads as its polynomial divided by x, so each constant
// is one power of x short.
constexpr uint64_t kFold1Hi = Reflect64(PowerModP(128 + 64 - 1));
constexpr uint64_t kFold1Lo = Reflect64(PowerModP(128 - 1));
constexpr uint64_t kFold4Hi = Reflect64(PowerModP(512 + 64 - 1));
constexpr uint64_t kFold4Lo = Reflect64(PowerModP(512 - 1));

__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i block, __m128i constants) {
  return _mm_xor_si128(_mm_clmulepi64_si128(block, constants, 0x00),
                       _mm_clmulepi64_si128(block, constants, 0x11));
}

__attribute__((target("pclmul,sse2"))) uint32_t ClmulEdc(const uint8_t* data, size_t length) {
  auto load = [](const uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
  // The low half of a block goes with the constant for its high degrees.
  const __m128i fold1 = _mm_set_epi64x(int64_t(kFold1Lo), int64_t(kFold1Hi));
  const __m128i fold4 = _mm_set_epi64x(int64_t(kFold4Lo), int64_t(kFold4Hi));
  __m128i a = load(data), b = load(data + 16), c = load(data + 32), d = load(data + 48);
  data += 64;
  length -= 64;
  for (; length >= 64; data += 64, length -= 64) {
    a = _mm_xor_si128(Fold(a, fold4), load(data));
    b = _mm_xor_si128(Fold(b, fold4), load(data + 16));
    c = _mm_xor_si128(Fold(c, fold4), load(data + 32));
    d = _mm_xor_si128(Fold(d, fold4), load(data + 48));
  }
  __m128i x = _mm_xor_si128(Fold(a, fold1), b);
  x = _mm_xor_si128(Fold(x, fold1), c);
  x = _mm_xor_si128(Fold(x, fold1), d);
  for (; length >= 16; data += 16, length -= 16) x = _mm_xor_si128(Fold(x, fold1), load(data));
  alignas(16) uint8_t folded[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(folded), x);
  return TableEdc(TableEdc(0, folded, sizeof folded), data, length);
}

bool HasClmul() {
  static const bool has = __builtin_cpu_supports("pclmul");
  return has;
}

#endif

}  // namespace

uint32_t CdEdc(const uint8_t* data, size_t length) {
#ifdef ZANTHREL_EDC_CLMUL
  if (length >= 64 && HasClmul()) return ClmulEdc(data, length);
#endif
  return TableEdc(0, data, length);
}

}  // namespace zanthrel
