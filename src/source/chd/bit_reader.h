// Bits read most significant first from a run of bytes, as CHD maps and
// Huffman-coded hunks store them. Bits past the end read as zero, and the
// reader remembers that it went there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zanthrel {

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t length) : data_(data), length_(length) {}

  // The next `count` bits (0 to 32) without taking them.
  uint32_t Peek(int count) {
    while (held_ <= 56) {
      const uint64_t byte = next_ < length_ ? data_[next_] : 0;
      ++next_;
      bits_ |= byte << (56 - held_);
      held_ += 8;
    }
    return count == 0 ? 0 : uint32_t(bits_ >> (64 - count));
  }
  void Skip(int count) {
    bits_ <<= count;
    held_ -= count;
    taken_ += uint64_t(count);
  }
  uint32_t Read(int count) {
    const uint32_t value = Peek(count);
    Skip(count);
    return value;
  }
  bool Overflowed() const { return taken_ > uint64_t(length_) * 8; }

 private:
  const uint8_t* data_;
  size_t length_;
  size_t next_ = 0;     // the next byte to load
  uint64_t bits_ = 0;   // loaded bits, from the top down
  int held_ = 0;        // how many of them
  uint64_t taken_ = 0;  // bits handed out
};

}  // namespace zanthrel
