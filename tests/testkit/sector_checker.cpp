#include "testkit/sector_checker.h"

#include <array>

#include "testkit/cd_sectors.h"

namespace zanthrel::testkit {

namespace {

constexpr size_t kSectorBytes = 2352;
// The bytes the parity covers start after the sync: header, data, EDC, zeros
// and, for Q, the P parity too; 2340 bytes, read as 1170 two-byte words
// whose high and low bytes make two planes of codewords.
constexpr size_t kCovered = 12;
constexpr size_t kPColumns = 86;  // 43 words a row, both planes
constexpr size_t kPRows = 26;     // 24 of data, 2 of parity
constexpr size_t kQDiagonals = 52;
constexpr size_t kQLength = 45;   // 43 of data, 2 of parity
constexpr size_t kQSpan = 2236;   // the rows that the diagonals wind through

// Multiplication by alpha in GF(2^8) with the field polynomial
// x^8 + x^4 + x^3 + x^2 + 1.
uint8_t TimesAlpha(uint8_t value) { return uint8_t((value << 1) ^ ((value & 0x80) ? 0x1D : 0)); }

// A Reed-Solomon codeword of ECMA-130's P or Q code is right when both its
// syndromes vanish: the sum of its bytes, and the sum of its bytes weighted
// by alpha^(n-1), ..., alpha, 1 (Horner's rule, first byte first).
template <typename ByteAt>
bool SyndromesVanish(size_t length, ByteAt byteAt) {
  uint8_t plain = 0, weighted = 0;
  for (size_t k = 0; k < length; ++k) {
    plain ^= byteAt(k);
    weighted = uint8_t(TimesAlpha(weighted) ^ byteAt(k));
  }
  return plain == 0 && weighted == 0;
}

uint8_t Bcd(uint64_t value) { return uint8_t((value / 10) * 16 + value % 10); }

}  // namespace

std::string Mode1SectorFault(const uint8_t* sector, uint64_t lba) {
  constexpr std::array<uint8_t, 12> sync{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
  for (size_t k = 0; k < sync.size(); ++k) {
    if (sector[k] != sync[k]) return "sync";
  }
  const uint64_t address = lba + 150;
  if (sector[12] != Bcd(address / 4500) || sector[13] != Bcd(address / 75 % 60) || sector[14] != Bcd(address % 75)) {
    return "address";
  }
  if (sector[15] != 1) return "mode";
  const uint32_t stored = uint32_t(sector[2064]) | uint32_t(sector[2065]) << 8 | uint32_t(sector[2066]) << 16 |
                          uint32_t(sector[2067]) << 24;
  if (stored != CdEdc(sector, 2064)) return "EDC";
  for (size_t k = 2068; k < 2076; ++k) {
    if (sector[k] != 0) return "zero bytes";
  }
  const uint8_t* covered = sector + kCovered;
  for (size_t column = 0; column < kPColumns; ++column) {
    if (!SyndromesVanish(kPRows, [&](size_t row) { return covered[row * kPColumns + column]; })) {
      return "P codeword " + std::to_string(column);
    }
  }
  for (size_t diagonal = 0; diagonal < kQDiagonals; ++diagonal) {
    // Each step goes one row down and one word right, winding round the
    // rows; the two parity bytes stand after the rows.
    const size_t start = (diagonal / 2) * kPColumns + diagonal % 2;
    const auto byteAt = [&](size_t k) {
      if (k == kQLength - 2) return covered[kQSpan + diagonal];
      if (k == kQLength - 1) return covered[kQSpan + kQDiagonals + diagonal];
      return covered[(start + k * (kPColumns + 2)) % kQSpan];
    };
    if (!SyndromesVanish(kQLength, byteAt)) return "Q codeword " + std::to_string(diagonal);
  }
  return "";
}

std::string Mode1TrackFault(const uint8_t* sectors, size_t length, uint64_t firstLba) {
  if (length % kSectorBytes != 0) return "a length of " + std::to_string(length) + " bytes, not whole sectors";
  for (size_t n = 0; n < length / kSectorBytes; ++n) {
    const std::string fault = Mode1SectorFault(sectors + n * kSectorBytes, firstLba + n);
    if (!fault.empty()) return "sector " + std::to_string(n) + ": " + fault;
  }
  return "";
}

}  // namespace zanthrel::testkit
