// The pieces of a CHD as the writer encodes them decode with zanthrel's own
// reader to what went in: maps of every run and copy form, and hunks of
// every kind of frame with each codec.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "source/chd/cd_hunk_layout.h"
#include "source/chd/chd_codecs.h"
#include "source/chd/chd_map.h"
#include "source/chd/crc16.h"
#include "source/chd/huffman_decoder.h"
#include "testkit/cd_sectors.h"
#include "testkit/container_disc.h"
#include "testkit/frame_disc.h"
#include "write/cd_hunk_encoder.h"
#include "write/chd_map_encoder.h"
#include "write/huffman_encoder.h"

namespace zanthrel {
namespace {

using testkit::Bytes;

constexpr uint32_t kHunkBytes = 8 * 2448;

ChdHeader HeaderFor(size_t hunks) {
  ChdHeader header;
  header.compressors[0] = ChdTag("cdlz");
  header.hunkBytes = kHunkBytes;
  header.unitBytes = 2448;
  header.logicalBytes = uint64_t(hunks) * kHunkBytes;
  return header;
}

// Hunks stored one after the other from `first`, with copies given as the
// number of the hunk they copy.
std::vector<ChdHunk> Laid(const std::vector<int>& codecsOrCopies, uint64_t first) {
  std::vector<ChdHunk> hunks;
  uint64_t offset = first;
  for (size_t i = 0; i < codecsOrCopies.size(); ++i) {
    ChdHunk hunk;
    const int value = codecsOrCopies[i];
    if (value < 0) {
      hunk.kind = ChdHunk::kSelf;
      hunk.offset = uint64_t(-value - 1);
    } else {
      hunk.kind = value == 4 ? ChdHunk::kStored : ChdHunk::kCodec;
      hunk.codec = value == 4 ? 0 : uint8_t(value);
      hunk.length = value == 4 ? kHunkBytes : uint32_t(1000 + i * 37 % 5000);
      hunk.crc = uint16_t(i * 7919);
      hunk.offset = offset;
      offset += hunk.length;
    }
    hunks.push_back(hunk);
  }
  return hunks;
}

TEST(ChdMapEncodingTest, EveryRunAndCopyFormDecodesToTheSameHunks) {
  std::vector<std::vector<int>> maps;
  maps.push_back({0});
  maps.push_back({4, 4, 4});
  std::vector<int> runs;  // runs of every length to past the longest shorthand
  for (int length : {1, 2, 3, 4, 18, 19, 20, 273, 274, 275, 600}) runs.insert(runs.end(), size_t(length), length % 3);
  maps.push_back(runs);
  // Copies of the hunk copied before, of the one after it, and far away.
  maps.push_back({0, 1, -1, -1, -2, -2, -1, 2, -3, -4, 4, -1, -2, -3, -4, -5});
  std::vector<int> skewed(5000, 0);  // one type far more common than the rest
  skewed[7] = 1, skewed[90] = 2, skewed[1000] = 4, skewed[4000] = -2;
  maps.push_back(skewed);
  for (const std::vector<int>& types : maps) {
    SCOPED_TRACE(types.size());
    const uint64_t first = uint64_t(5) << 32;  // past 32 bits, as in a file over 4 GiB
    const std::vector<ChdHunk> hunks = Laid(types, first);
    const Bytes map = EncodeCompressedMap(hunks, kHunkBytes, first);
    Result<std::vector<ChdHunk>> decoded = DecodeCompressedMap(HeaderFor(hunks.size()), map.data(), map.size());
    ASSERT_TRUE(decoded) << decoded.Failure().text;
    ASSERT_EQ(decoded->size(), hunks.size());
    for (size_t i = 0; i < hunks.size(); ++i) {
      const ChdHunk& want = hunks[i];
      const ChdHunk& got = (*decoded)[i];
      ASSERT_EQ(got.kind, want.kind) << "hunk " << i;
      if (want.kind == ChdHunk::kSelf) {
        // The reader points a copy of a copy at the hunk that holds the data.
        uint64_t source = want.offset;
        while (hunks[source].kind == ChdHunk::kSelf) source = hunks[source].offset;
        EXPECT_EQ(got.offset, source) << "hunk " << i;
        continue;
      }
      EXPECT_EQ(got.offset, want.offset) << "hunk " << i;
      EXPECT_EQ(got.length, want.length) << "hunk " << i;
      EXPECT_EQ(got.crc, want.crc) << "hunk " << i;
      EXPECT_EQ(got.codec, want.codec) << "hunk " << i;
    }
  }
}

TEST(ChdMapEncodingTest, CodesStayWithinEightBitsHoweverSkewedTheCounts) {
  HuffmanEncoder code(16, 8);
  for (uint32_t symbol = 0; symbol < 16; ++symbol) {
    for (uint64_t n = 0; n < (uint64_t(1) << symbol); ++n) code.Count(symbol);
  }
  code.BuildCode();
  BitWriter bits;
  code.WriteRunLengthTree(bits);
  for (uint32_t symbol = 0; symbol < 16; ++symbol) code.Encode(bits, symbol);
  BitReader reader(bits.Bytes().data(), bits.Bytes().size());
  HuffmanDecoder decoder(16, 8);
  ASSERT_TRUE(decoder.ImportRunLengthTree(reader));
  for (int symbol = 0; symbol < 16; ++symbol) EXPECT_EQ(decoder.Decode(reader), symbol);
}

Bytes Hunk(const Bytes& frames) {
  Bytes hunk(kHunkBytes, 0);
  for (size_t i = 0; i < 8 && i * 2352 < frames.size(); ++i) {
    std::memcpy(hunk.data() + i * 2448, frames.data() + i * 2352, 2352);
  }
  return hunk;
}

TEST(CdHunkEncodingTest, EveryKindOfHunkDecodesToItsBytesWithTheCodecChosen) {
  const Bytes text = testkit::TextBytes(8 * 2048, 3);
  Bytes damaged = testkit::Mode1Sectors(text);
  damaged[2352 * 3 + 2300] ^= 1;  // parity that does not regenerate
  Bytes audio = testkit::ToneFrames(8, 5);
  for (size_t b = 0; b < audio.size(); b += 2) std::swap(audio[b], audio[b + 1]);  // a CHD's byte order
  struct Case {
    const char* name;
    Bytes hunk;
    bool audio;
    uint8_t flags;  // the frames stored without sync and parity
  };
  const std::vector<Case> cases = {
      {"mode 1", Hunk(testkit::Mode1Sectors(text)), false, 0xFF},
      {"damaged parity", Hunk(damaged), false, 0xF7},
      {"mode 2", Hunk(testkit::Mode2Form1Sectors(text, 4000)), false, 0xFF},
      {"audio", Hunk(audio), true, 0},
      {"noise", testkit::Pattern(kHunkBytes, 4), false, 0},
      {"zeros", Bytes(kHunkBytes, 0), false, 0},
  };
  CdHunkEncoder encoder(8);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EncodedHunk encoded;
    encoder.Encode(c.hunk.data(), c.audio, encoded);
    if (std::string(c.name) == "noise") {
      EXPECT_TRUE(encoded.stored);
      EXPECT_TRUE(encoded.bytes == c.hunk);
      continue;
    }
    ASSERT_FALSE(encoded.stored);
    ASSERT_LT(encoded.bytes.size(), kHunkBytes);
    if (c.audio) {
      EXPECT_EQ(kCdCodecTags[encoded.codec], ChdTag("cdfl"));
    } else {
      EXPECT_EQ(encoded.bytes[0], c.flags);
    }
    Bytes decoded(kHunkBytes);
    const auto codec = MakeChdCodec(kCdCodecTags[encoded.codec], kHunkBytes);
    ASSERT_TRUE(codec->Decode(encoded.bytes.data(), encoded.bytes.size(), decoded.data(), decoded.size()));
    EXPECT_TRUE(decoded == c.hunk);
  }
}

}  // namespace
}  // namespace zanthrel
