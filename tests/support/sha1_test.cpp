#include "support/sha1.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zanthrel {
namespace {

std::string Hex(const std::array<uint8_t, 20>& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t byte : digest) text += {kDigits[byte >> 4], kDigits[byte & 15]};
  return text;
}

std::string DigestOf(const std::string& message) {
  Sha1 sha1;
  sha1.Update(message.data(), message.size());
  return Hex(sha1.Finish());
}

// The examples that FIPS 180 publishes, and lengths on either side of the
// point where the padding takes a block of its own.
TEST(Sha1Test, PublishedExamples) {
  EXPECT_EQ(DigestOf(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(DigestOf("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(DigestOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(DigestOf("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrs"
                     "mnopqrstnopqrstu"),
            "a49b2446a02c645bf419f995b67091253a04a259");
  EXPECT_EQ(DigestOf(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  EXPECT_EQ(DigestOf(std::string(55, 'a')), "c1c8bbdc22796e28c0e15163d20899b65621d65a");
  EXPECT_EQ(DigestOf(std::string(56, 'a')), "c2db330f6083854c99d4b5bfb6e8f29f201be699");
  EXPECT_EQ(DigestOf(std::string(64, 'a')), "0098ba824b5c16427bd7a1122a5a442a25ec644d");
}

// A message given in pieces of any length has the digest of the whole.
TEST(Sha1Test, PiecesMakeTheWhole) {
  std::string message;
  for (int i = 0; i < 1000; ++i) message += char(i * 7 + 3);
  const std::string whole = DigestOf(message);
  for (size_t piece : {1u, 3u, 63u, 64u, 65u, 200u}) {
    Sha1 sha1;
    for (size_t at = 0; at < message.size(); at += piece) {
      sha1.Update(message.data() + at, std::min(piece, message.size() - at));
    }
    EXPECT_EQ(Hex(sha1.Finish()), whole) << piece;
  }
}

}  // namespace
}  // namespace zanthrel
