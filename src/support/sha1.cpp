#include "support/sha1.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zanthrel {

void Sha1::Compress(const uint8_t* block) {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i) {
    w[i] = uint32_t(block[4 * i]) << 24 | uint32_t(block[4 * i + 1]) << 16 | uint32_t(block[4 * i + 2]) << 8 |
           uint32_t(block[4 * i + 3]);
  }
  for (int i = 16; i < 80; ++i) w[i] = std::rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const uint32_t next = std::rotl(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = std::rotl(b, 30);
    b = a;
    a = next;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
}

void Sha1::Update(const void* data, size_t length) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  totalBytes_ += length;
  if (pendingLength_ > 0) {
    const size_t take = std::min(length, pending_.size() - pendingLength_);
    std::memcpy(pending_.data() + pendingLength_, bytes, take);
    pendingLength_ += take;
    bytes += take;
    length -= take;
    if (pendingLength_ < pending_.size()) return;
    Compress(pending_.data());
    pendingLength_ = 0;
  }
  for (; length >= pending_.size(); bytes += pending_.size(), length -= pending_.size()) Compress(bytes);
  std::memcpy(pending_.data(), bytes, length);
  pendingLength_ = length;
}

std::array<uint8_t, 20> Sha1::Finish() {
  const uint64_t bits = totalBytes_ * 8;
  // A 1 bit, zeros up to 8 bytes short of a block, then the length in bits.
  uint8_t padding[72] = {0x80};
  const size_t zeros = (pendingLength_ < 56 ? 56 : 120) - pendingLength_;
  for (int i = 0; i < 8; ++i) padding[zeros + i] = uint8_t(bits >> (56 - 8 * i));
  Update(padding, zeros + 8);
  std::array<uint8_t, 20> digest;
  for (int i = 0; i < 20; ++i) digest[i] = uint8_t(state_[i / 4] >> (24 - 8 * (i % 4)));
  return digest;
}

}  // namespace zanthrel
