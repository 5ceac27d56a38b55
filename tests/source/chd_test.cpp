// CHD images: the sectors chdman gets from the testkit are real CD sectors,
// damaged hunks are unreadable blocks and never wrong data, and a CHD that
// cannot be read says why.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "decompile/decompile_run.h"
#include "source/big_endian.h"
#include "source/chd/chd_header.h"
#include "source/chd/chd_map.h"
#include "source/image_source.h"
#include "testkit/cd_sectors.h"
#include "testkit/chd_builder.h"
#include "testkit/container_disc.h"
#include "testkit/process.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

using testkit::Bytes;
using testkit::ContainerDisc;

constexpr uint32_t kBlocks = 288;

#define REQUIRE_CHDMAN()                                                   \
  if (!testkit::ProgramAvailable("chdman")) {                              \
    GTEST_SKIP() << "chdman (Debian package mame-tools) is not installed"; \
  }

std::string MakeChd(const testkit::TempFolder& temp, const Bytes& image, const std::string& options) {
  const std::string cue = testkit::WriteCueSet(temp.Path().string(), "Game", image, true);
  const testkit::ProcessOutcome made =
      testkit::RunProgram("chdman", "createcd -i '" + cue + "' -o '" + (temp / "game.chd") + "' " + options);
  EXPECT_EQ(made.status, 0) << made.out << made.err;
  return temp / "game.chd";
}

// Every block of the volume either reads as the plain image has it or does
// not read at all; gives how many did not.
int CheckEveryBlock(ImageSource& source, const Bytes& image) {
  int unreadable = 0;
  Bytes block(2048);
  for (uint32_t b = 0; b < kBlocks; ++b) {
    if (!Seek(source, b, 2048, 0) || !ReadRecords(source, block.data(), 2048, 1)) {
      ++unreadable;
      continue;
    }
    EXPECT_TRUE(std::equal(block.begin(), block.end(), image.begin() + long(b) * 2048)) << "block " << b;
  }
  return unreadable;
}

std::string OpenFailureOf(const std::string& path) {
  ImageSource source;
  const OpenStatus opened = OpenImageFile(source, path);
  return opened ? "" : opened.Failure().text;
}

TEST(ChdSectorsTest, ChdmanFindsTheTestSectorsEccValidAndGivesThemBack) {
  REQUIRE_CHDMAN();
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  const std::string chd = MakeChd(temp, image, "-c cdzl");
  // chdman leaves out the sync and parity only of sectors whose ECC it
  // finds valid, and says so in a hunk's first byte, one bit a frame.
  const Bytes file = testkit::ReadBytes(chd);
  Result<ChdHeader> header = ParseChdHeader(file.data(), file.size());
  ASSERT_TRUE(header);
  const uint64_t mapAt = header->mapOffset;
  Result<std::vector<ChdHunk>> map =
      DecodeCompressedMap(*header, file.data() + mapAt, size_t(16 + ReadBigEndian(file.data() + mapAt, 4)));
  ASSERT_TRUE(map) << map.Failure().text;
  ASSERT_EQ((*map)[0].kind, ChdHunk::kCodec);
  EXPECT_EQ(file[(*map)[0].offset], 0xFF);

  const testkit::ProcessOutcome back =
      testkit::RunProgram("chdman", "extractcd -i '" + chd + "' -o '" + (temp / "back.cue") + "' -ob '" +
                                        (temp / "back.bin") + "'");
  ASSERT_EQ(back.status, 0) << back.err;
  const Bytes data = testkit::ReadBytes(temp / "Game (Track 1).bin");
  const Bytes extracted = testkit::ReadBytes(temp / "back.bin");
  ASSERT_GE(extracted.size(), data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), extracted.begin()));
}

TEST(ChdDamageTest, HunksThatFailTheirCrcOrLieInAParentAreUnreadable) {
  testkit::TempFolder temp;
  const ContainerDisc disc = testkit::MakeContainerDisc();
  testkit::ChdOptions options;
  options.copies = false;
  const size_t firstCopyHunk = ContainerDisc::kTwiceCopies[0] / 8;
  options.wrongCrcHunks = {firstCopyHunk};
  options.parentHunks = {firstCopyHunk + 2};
  options.storedHunks = {firstCopyHunk + 3};
  testkit::WriteBytes(temp / "game.chd",
                      testkit::BuildChd({{"MODE1", 2048, testkit::Padded(disc.image)}}, options));

  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp / "game.chd"));
  EXPECT_EQ(CheckEveryBlock(source, disc.image), 16);
  // The walk takes the file from its second copy.
  ASSERT_TRUE(DecompileImage(source, temp / "out", temp / "out.log").Succeeded());
  EXPECT_EQ(testkit::ReadBytes(temp / "out/Twice"), disc.twice);
}

TEST(ChdDamageTest, DamagedOrCutChdsGiveAMessageOrUnreadableBlocksNeverWrongData) {
  REQUIRE_CHDMAN();
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  const Bytes chd = testkit::ReadBytes(MakeChd(temp, image, ""));
  const Bytes noise = testkit::Pattern(64, 9);
  int refused = 0, damaged = 0;
  for (size_t k = 0; k < 24; ++k) {
    Bytes bad = chd;
    const size_t at = (size_t(noise[k]) << 16 | size_t(noise[k + 24]) << 8 | noise[k + 40]) % chd.size();
    if (k % 3 == 0) {
      bad.resize(at);
    } else {
      bad[at] ^= uint8_t(1 + noise[k] % 255);
    }
    testkit::WriteBytes(temp / "bad.chd", bad);
    ImageSource source;
    const OpenStatus opened = OpenImageFile(source, temp / "bad.chd");
    if (!opened) {
      EXPECT_FALSE(opened.Failure().text.empty());
      ++refused;
      continue;
    }
    damaged += CheckEveryBlock(source, image) > 0;
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(damaged, 0);
}

TEST(ChdRefusalTest, AChdThatCannotBeReadSaysWhy) {
  testkit::TempFolder temp;
  const Bytes image = testkit::MakeContainerDisc().image;
  const Bytes chd = testkit::BuildChd({{"MODE1", 2048, testkit::Padded(image)}}, {});
  auto refusal = [&](auto change) {
    Bytes bad = chd;
    change(bad);
    testkit::WriteBytes(temp / "bad.chd", bad);
    return OpenFailureOf(temp / "bad.chd");
  };
  EXPECT_EQ(refusal([](Bytes& b) { b[110] = 1; }),
            "CHD: needs its parent CHD; merge it first (chdman copy) to read it alone");
  EXPECT_EQ(refusal([](Bytes& b) { b[15] = 4; }), "CHD: version 4; only version 5 is read");
  EXPECT_EQ(refusal([](Bytes& b) { std::memcpy(&b[20], "abcd", 4); }),
            "CHD: compressor 'abcd' is not one this reader knows");
  EXPECT_EQ(refusal([](Bytes& b) { b[63] = 0; }), "CHD: not a CD image (units of 2304 bytes)");
  EXPECT_EQ(refusal([](Bytes& b) { b[59] = 1; }),
            "CHD: hunks of 19457 bytes, not a whole number of CD frames this reader takes");
  EXPECT_EQ(refusal([](Bytes& b) { b[32] = 0x7F; }),
            "CHD: a data size of 9151314442817552896 bytes, which no CD has");
  EXPECT_EQ(refusal([](Bytes& b) { std::memset(&b[48], 0, 8); }),
            "CHD: no CD track entries (CHT2, CHTR or CHGD)");
  EXPECT_EQ(refusal([](Bytes& b) { b[b.size() - 3] ^= 0x10; }), "CHD: the hunk map fails its CRC");
  EXPECT_EQ(refusal([](Bytes& b) { b.resize(b.size() - 2); }), "CHD: the hunk map is cut short");
  EXPECT_EQ(refusal([](Bytes& b) { b.resize(100); }), "CHD: the header is cut short");

  const testkit::ChdTrackData audio{"AUDIO", 2352, testkit::AudioFrames(20, 1)};
  testkit::WriteBytes(temp / "audio.chd", testkit::BuildChd({audio}, {}));
  EXPECT_EQ(OpenFailureOf(temp / "audio.chd"), "CHD: no data track, only audio");
  testkit::WriteBytes(temp / "form2.chd",
                      testkit::BuildChd({audio, {"MODE2_FORM2", 2324, Bytes(2324 * 4)}}, {}));
  EXPECT_EQ(OpenFailureOf(temp / "form2.chd"),
            "CHD: track 2 is MODE2_FORM2, whose sectors hold no 2048-byte user data");
}

}  // namespace
}  // namespace zanthrel
