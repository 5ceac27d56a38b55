// Big-endian fields of any width up to 8 bytes, as NRG and CHD files keep them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zanthrel {

inline uint64_t ReadBigEndian(const uint8_t* at, size_t bytes) {
  uint64_t value = 0;
  for (size_t i = 0; i < bytes; ++i) value = value << 8 | at[i];
  return value;
}

inline void WriteBigEndian(uint8_t* at, uint64_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) at[i] = uint8_t(value >> (8 * (bytes - 1 - i)));
}

}  // namespace zanthrel
