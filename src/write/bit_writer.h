// Bits written most significant first into bytes, as CHD maps keep them;
// the last byte is filled up with zeros.
#pragma once

#include <cstdint>
#include <vector>

namespace zanthrel {

class BitWriter {
 public:
  // The low `count` bits of `value` (0 to 32).
  void Write(uint32_t value, int count) {
    for (int bit = count - 1; bit >= 0; --bit) {
      if (used_ % 8 == 0) bytes_.push_back(0);
      if ((value >> bit) & 1) bytes_.back() |= uint8_t(0x80 >> (used_ % 8));
      ++used_;
    }
  }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t used_ = 0;
};

}  // namespace zanthrel
