// CRC-16/CCITT-FALSE (polynomial 0x1021, start 0xFFFF, most significant bit
// first, no final xor): what a CHD keeps for its map and for each hunk.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zanthrel {

inline constexpr uint16_t kCrc16Start = 0xFFFF;

// The CRC of `length` more bytes, continuing from `crc`.
uint16_t Crc16(const uint8_t* data, size_t length, uint16_t crc = kCrc16Start);

}  // namespace zanthrel
