// SHA-1 (FIPS 180-4), the digest a CHD keeps of its data and metadata.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zanthrel {

class Sha1 {
 public:
  void Update(const void* data, size_t length);
  // The digest of everything given; the object is spent afterwards.
  std::array<uint8_t, 20> Finish();

 private:
  void Compress(const uint8_t* block);

  std::array<uint32_t, 5> state_ = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  std::array<uint8_t, 64> pending_{};
  size_t pendingLength_ = 0;
  uint64_t totalLength_ = 0;
};

// A digest as 40 lower-case hexadecimal digits, as sha1sum prints it.
std::string Sha1Text(const std::array<uint8_t, 20>& digest);

}  // namespace zanthrel
