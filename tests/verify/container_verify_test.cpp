// Verify checks the image file's own records: every hunk of a CHD against its
// CRC and the header's SHA-1s, every data sector of a raw image against its
// EDC and ECC, the sectors that no file uses too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "source/chd/chd_file.h"
#include "testkit/cd_sectors.h"
#include "testkit/chd_builder.h"
#include "testkit/container_disc.h"
#include "testkit/files.h"
#include "testkit/process.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"
#include "workflow/inspect_job.h"

namespace zanthrel {
namespace {

using testkit::Bytes;

#define REQUIRE_CHDMAN()                                                   \
  if (!testkit::ProgramAvailable("chdman")) {                              \
    GTEST_SKIP() << "chdman (Debian package mame-tools) is not installed"; \
  }

constexpr size_t kRawSha1At = 64;

std::string MakeChd(const testkit::TempFolder& temp, const std::string& options) {
  const std::string cue =
      testkit::WriteCueSet(temp.Path().string(), "Game", testkit::MakeContainerDisc().image, true);
  const testkit::ProcessOutcome made =
      testkit::RunProgram("chdman", "createcd -i '" + cue + "' -o '" + (temp / "game.chd") + "' " + options);
  EXPECT_EQ(made.status, 0) << made.out << made.err;
  return temp / "game.chd";
}

std::vector<ChdHunk> MapOf(const std::string& chd) {
  Result<HostFile> file = SystemHost().OpenFile(chd);
  Result<std::unique_ptr<ChdFile>> opened = ChdFile::Open(std::move(*file), testkit::ReadBytes(chd).size());
  EXPECT_TRUE(opened);
  return opened ? (*opened)->Map() : std::vector<ChdHunk>{};
}

void FlipBytes(const std::string& path, size_t at, size_t count = 1) {
  Bytes bytes = testkit::ReadBytes(path);
  for (size_t k = 0; k < count; ++k) bytes[at + k] ^= 0x40;
  testkit::WriteBytes(path, bytes);
}

TEST(ContainerVerifyTest, ChdmanChdsCheckClean) {
  REQUIRE_CHDMAN();
  for (const std::string options : {"", "-c none", "-c cdzl -hs 4896"}) {
    testkit::TempFolder temp;
    const VerifyImageReport report = VerifyImageFile(MakeChd(temp, options));
    const ContainerCheck& check = report.verify.container;
    ASSERT_TRUE(check.chd) << options;
    EXPECT_FALSE(report.verify.Damaged()) << options;
    // chdman writes no SHA-1 into an uncompressed CHD.
    EXPECT_EQ(check.chd->sha1Checked, options != "-c none") << options;
    EXPECT_EQ(check.chd->crcsKept, options != "-c none") << options;
    EXPECT_FALSE(check.chd->rawSha1Differs) << options;
    EXPECT_FALSE(check.chd->sha1Differs) << options;
    // 288 data frames and 300 audio frames, each track padded to 4 frames.
    const uint64_t framesPerHunk = options.find("4896") != std::string::npos ? 2 : 8;
    EXPECT_EQ(check.chd->hunks, (288 + 300 + framesPerHunk - 1) / framesPerHunk) << options;
  }
}

TEST(ContainerVerifyTest, DamagedChdRecordsAreNamed) {
  REQUIRE_CHDMAN();
  testkit::TempFolder temp;
  const std::string chd = MakeChd(temp, "");
  const Bytes pristine = testkit::ReadBytes(chd);

  // A byte of a compressed hunk: it no longer decodes, or not to its CRC.
  const std::vector<ChdHunk> map = MapOf(chd);
  const uint64_t middle = map.size() / 2;
  ASSERT_EQ(map[middle].kind, ChdHunk::kCodec);
  FlipBytes(chd, size_t(map[middle].offset + map[middle].length / 2));
  VerifyImageReport report = VerifyImageFile(chd);
  ASSERT_TRUE(report.verify.container.chd);
  const ChdCheck& hunks = *report.verify.container.chd;
  ASSERT_EQ(hunks.wrongCrc.size() + hunks.unreadable.size(), 1u);
  const HunkRun named = hunks.wrongCrc.empty() ? hunks.unreadable[0] : hunks.wrongCrc[0];
  EXPECT_EQ(named.first, middle);
  EXPECT_EQ(named.count, 1u);
  EXPECT_TRUE(report.verify.Damaged());

  testkit::WriteBytes(chd, pristine);
  FlipBytes(chd, kRawSha1At + 5);
  report = VerifyImageFile(chd);
  EXPECT_TRUE(report.verify.container.chd->rawSha1Differs);
  EXPECT_FALSE(report.verify.container.chd->sha1Differs);
  EXPECT_TRUE(report.verify.container.chd->wrongCrc.empty());
  EXPECT_TRUE(report.verify.Damaged());

  // A track entry whose text still reads, but not as the overall SHA-1 has it.
  Bytes changed = pristine;
  const std::string subtype = "SUBTYPE:NONE";
  const auto at = std::search(changed.begin(), changed.end(), subtype.begin(), subtype.end());
  ASSERT_NE(at, changed.end());
  at[11] = 'X';
  testkit::WriteBytes(chd, changed);
  report = VerifyImageFile(chd);
  EXPECT_FALSE(report.verify.container.chd->rawSha1Differs);
  EXPECT_TRUE(report.verify.container.chd->sha1Differs);
  EXPECT_TRUE(report.verify.Damaged());
}

// A hunk stored as it is, in a CHD of the testkit's (which keeps no SHA-1).
TEST(ContainerVerifyTest, StoredHunkWithAFlippedByteFailsItsCrc) {
  testkit::TempFolder temp;
  testkit::ChdOptions options;
  options.storedHunks = {5};
  const Bytes frames = testkit::Padded(testkit::MakeContainerDisc().image);
  testkit::WriteBytes(temp / "game.chd", testkit::BuildChd({{"MODE1", 2048, frames}}, options));
  EXPECT_FALSE(VerifyImageFile(temp / "game.chd").verify.Damaged());
  const std::vector<ChdHunk> map = MapOf(temp / "game.chd");
  ASSERT_EQ(map[5].kind, ChdHunk::kStored);
  FlipBytes(temp / "game.chd", size_t(map[5].offset) + 3000);
  const VerifyImageReport report = VerifyImageFile(temp / "game.chd");
  ASSERT_TRUE(report.verify.container.chd);
  EXPECT_FALSE(report.verify.container.chd->sha1Kept);
  ASSERT_EQ(report.verify.container.chd->wrongCrc.size(), 1u);
  EXPECT_EQ(report.verify.container.chd->wrongCrc[0].first, 5u);
  EXPECT_TRUE(report.verify.Damaged());
}

// The sample disc's 8 blocks followed by sectors of zeros, far enough past
// the volume's end that reading the volume never meets them.
constexpr size_t kTrackSectors = 100;
constexpr size_t kUnusedSector = 80;
constexpr size_t kRawSector = 2352;

struct RawSet {
  std::string cue;
  std::string bin;
};

RawSet WriteRawSet(const testkit::TempFolder& temp, bool filePerTrack) {
  RawSet set;
  Bytes image = testkit::MakeSampleDisc().image;
  image.resize(kTrackSectors * 2048);
  set.cue = testkit::WriteCueSet(temp.Path().string(), "Game", image, filePerTrack);
  set.bin = filePerTrack ? temp / "Game (Track 1).bin" : temp / "Game.bin";
  return set;
}

TEST(ContainerVerifyTest, RawSectorsNoFileUsesAreChecked) {
  for (const bool filePerTrack : {true, false}) {
    testkit::TempFolder temp;
    const RawSet set = WriteRawSet(temp, filePerTrack);
    VerifyImageReport report = VerifyImageFile(set.cue);
    EXPECT_FALSE(report.verify.Damaged());
    EXPECT_EQ(report.verify.container.sectors, kTrackSectors) << "the audio track is no data track";

    // One byte: the ECC mends it. Many: it cannot.
    FlipBytes(set.bin, kUnusedSector * kRawSector + 300);
    report = VerifyImageFile(set.cue);
    ASSERT_EQ(report.verify.container.tracks.size(), 1u);
    EXPECT_EQ(report.verify.container.tracks[0].corrected.Count(), 1u);
    EXPECT_TRUE(report.verify.container.tracks[0].corrected.Touches(kUnusedSector, 1));
    EXPECT_TRUE(report.verify.correctedSectors.empty()) << "the volume never reads it";
    EXPECT_TRUE(report.verify.Damaged());

    FlipBytes(set.bin, kUnusedSector * kRawSector + 16, 600);
    for (const std::string& image : {set.cue, set.bin}) {
      report = VerifyImageFile(image);
      ASSERT_EQ(report.verify.container.tracks.size(), 1u) << image;
      EXPECT_TRUE(report.verify.container.tracks[0].damaged.Touches(kUnusedSector, 1)) << image;
      EXPECT_TRUE(report.verify.container.tracks[0].corrected.Empty()) << image;
      EXPECT_TRUE(report.verify.Damaged()) << image;
    }
  }
}

// A damaged sector that the volume reads is told once, by its block.
TEST(ContainerVerifyTest, SectorsTheVolumeReportsAreNotToldTwice) {
  testkit::TempFolder temp;
  const RawSet set = WriteRawSet(temp, true);
  FlipBytes(set.bin, 2 * kRawSector + 16, 600);
  const VerifyImageReport report = VerifyImageFile(set.cue);
  EXPECT_FALSE(report.verify.damagedSectors.empty());
  ASSERT_EQ(report.verify.container.tracks.size(), 1u);
  EXPECT_TRUE(report.verify.container.tracks[0].damaged.Empty());
  EXPECT_TRUE(report.verify.Damaged());
}

}  // namespace
}  // namespace zanthrel
