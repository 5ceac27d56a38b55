#include "support/sha1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace zanthrel {
namespace {

std::string DigestOf(const std::string& text) {
  Sha1 sha;
  sha.Update(text.data(), text.size());
  return Sha1Text(sha.Finish());
}

// The FIPS 180 examples, with messages that end either side of the block
// boundary where the length field must move to a block of its own.
TEST(Sha1Test, GivesTheStandardDigests) {
  EXPECT_EQ(DigestOf(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(DigestOf("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(DigestOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(DigestOf("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
                     "lmnopqrsmnopqrstnopqrstu"),
            "a49b2446a02c645bf419f995b67091253a04a259");
  EXPECT_EQ(DigestOf(std::string(55, 'a')), "c1c8bbdc22796e28c0e15163d20899b65621d65a");
  EXPECT_EQ(DigestOf(std::string(64, 'a')), "0098ba824b5c16427bd7a1122a5a442a25ec644d");
}

// A million "a"s given in uneven pieces: the pieces must join as one message.
TEST(Sha1Test, JoinsPiecesOfAnyLength) {
  const std::string million(1000000, 'a');
  Sha1 sha;
  size_t at = 0;
  for (size_t piece = 1; at < million.size(); piece = piece * 7 % 1000 + 1) {
    const size_t take = std::min(piece, million.size() - at);
    sha.Update(million.data() + at, take);
    at += take;
  }
  EXPECT_EQ(Sha1Text(sha.Finish()), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

}  // namespace
}  // namespace zanthrel
