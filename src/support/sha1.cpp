#include "support/sha1.h"

#include <algorithm>
#include <cstring>

namespace zanthrel {

namespace {

constexpr uint32_t RotateLeft(uint32_t value, int bits) { return value << bits | value >> (32 - bits); }

}  // namespace

void Sha1::Compress(const uint8_t* block) {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i) {
    w[i] = uint32_t(block[4 * i]) << 24 | uint32_t(block[4 * i + 1]) << 16 | uint32_t(block[4 * i + 2]) << 8 |
           uint32_t(block[4 * i + 3]);
  }
  for (int i = 16; i < 80; ++i) w[i] = RotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
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
    const uint32_t next = RotateLeft(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = RotateLeft(b, 30);
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
  totalLength_ += length;
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
  for (; length >= 64; bytes += 64, length -= 64) Compress(bytes);
  std::memcpy(pending_.data(), bytes, length);
  pendingLength_ = length;
}

std::array<uint8_t, 20> Sha1::Finish() {
  // A 1 bit, zeros up to 8 bytes short of a block, then the length in bits.
  const uint64_t bits = totalLength_ * 8;
  const uint8_t one = 0x80;
  Update(&one, 1);
  const uint8_t zeros[64] = {};
  Update(zeros, (pending_.size() * 2 - 8 - pendingLength_) % pending_.size());
  uint8_t length[8];
  for (int i = 0; i < 8; ++i) length[i] = uint8_t(bits >> (56 - 8 * i));
  Update(length, sizeof length);
  std::array<uint8_t, 20> digest;
  for (size_t i = 0; i < 20; ++i) digest[i] = uint8_t(state_[i / 4] >> (24 - 8 * (i % 4)));
  return digest;
}

std::string Sha1Text(const std::array<uint8_t, 20>& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

}  // namespace zanthrel
